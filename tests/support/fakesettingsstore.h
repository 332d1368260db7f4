#pragma once

// A settings store in memory that records every open, read, write and close, so tests can check what a settings
// operation did and in which order.

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
        events.push_back(openFails ? "open failed" : "open");
        return openFails ? nullptr : std::make_unique<Key>(*this);
    }

private:
    struct Key final : SettingsKey {
        explicit Key(FakeSettingsStore& s) : store(s) {}
        ~Key() override { store.events.push_back("close"); }
        std::optional<std::string> readText(std::string_view name) override
        {
            store.events.push_back("read " + std::string(name));
            const auto found = store.values.find(name);
            return found == store.values.end() ? std::nullopt : std::optional(found->second);
        }
        bool writeText(std::string_view name, std::string_view text) override
        {
            store.events.push_back("write " + std::string(name) + "=" + std::string(text));
            store.values[std::string(name)] = std::string(text);
            return true;
        }
        FakeSettingsStore& store;
    };
};

} // namespace jbx::testing
