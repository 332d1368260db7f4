#pragma once

// A settings store in memory that records every open, read, write and close,
// so tests can check what a settings operation did and in which order.

#include "settings/settingsstore.h"

#include <map>
#include <string>
#include <vector>

namespace jbx::testing {

class FakeSettingsStore final : public SettingsStore {
public:
    // The stored texts; a name that is absent is a missing value.
    std::map<std::string, std::string, std::less<>> values;

    // Makes open() fail, as when the store cannot be created.
    bool openFails = false;

    // "open", "open failed", "read NAME", "write NAME=TEXT", "close".
    std::vector<std::string> events;

    std::unique_ptr<SettingsKey> open() override
    {
        if (openFails) {
            events.push_back("open failed");
            return nullptr;
        }
        events.push_back("open");
        return std::make_unique<Key>(*this);
    }

private:
    class Key final : public SettingsKey {
    public:
        explicit Key(FakeSettingsStore& store) : store_(store) {}
        ~Key() override { store_.events.push_back("close"); }

        std::optional<std::string> readText(std::string_view name) override
        {
            store_.events.push_back("read " + std::string(name));
            const auto found = store_.values.find(name);
            if (found == store_.values.end())
                return std::nullopt;
            return found->second;
        }

        bool writeText(std::string_view name, std::string_view text) override
        {
            store_.events.push_back("write " + std::string(name) + "=" + std::string(text));
            store_.values[std::string(name)] = std::string(text);
            return true;
        }

    private:
        FakeSettingsStore& store_;
    };
};

} // namespace jbx::testing
