#pragma once

#ifndef _WIN32

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <utility>

#include <unistd.h>

namespace jbx::testing {

namespace fs = std::filesystem;

// Makes a file refuse writing, or a folder refuse new files, for as long as it lives. Root passes over permission
// bits, so there the immutable attribute stands in for them; false when that cannot be set here.
class Locked {
public:
    explicit Locked(std::string path) : path_(std::move(path))
    {
        if (geteuid() == 0) {
            attribute_ = true;
            locked_ = RunQuiet("chattr +i '" + path_ + "'");
        } else {
            const fs::perms perms = fs::is_directory(path_) ? fs::perms(0555) : fs::perms(0444);
            std::error_code error;
            saved_ = fs::status(path_).permissions();
            fs::permissions(path_, perms, error);
            locked_ = !error;
        }
    }
    ~Locked()
    {
        if (!locked_)
            return;
        if (attribute_)
            RunQuiet("chattr -i '" + path_ + "'");
        else
            fs::permissions(path_, saved_);
    }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;
    bool locked() const { return locked_; }

private:
    static bool RunQuiet(const std::string& command)
    {
        return std::system((command + " 2>/dev/null").c_str()) == 0;
    }

    std::string path_;
    bool attribute_ = false;
    bool locked_ = false;
    fs::perms saved_{};
};

} // namespace jbx::testing

#endif
