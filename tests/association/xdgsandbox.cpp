#include "tests/association/xdgsandbox.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;

namespace jbx::testing {

namespace {

std::string WithoutLineBreak(std::string text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line);
    return lines;
}

// Single quotes keep everything literal in sh, except a single quote.
std::string ShellQuoted(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

} // namespace

XdgSandbox::XdgSandbox()
{
    for (const std::string& folder : {dataHome(), configHome(), systemData(), path("system/etc/xdg")})
        fs::create_directories(folder);
}

XdgFolders XdgSandbox::folders() const
{
    return XdgFolders{dataHome(), {systemData()}, configHome()};
}

RunResult XdgSandbox::run(const std::string& program, const std::vector<std::string>& args) const
{
    std::vector<std::string> command{
        "-u", "DBUS_SESSION_BUS_ADDRESS", "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY",
        "HOME=" + path("home"),
        "XDG_DATA_HOME=" + dataHome(),
        "XDG_CONFIG_HOME=" + configHome(),
        "XDG_CACHE_HOME=" + path("home/.cache"),
        "XDG_DATA_DIRS=" + systemData(),
        "XDG_CONFIG_DIRS=" + path("system/etc/xdg"),
        "XDG_CURRENT_DESKTOP=GNOME",
        "GIO_USE_VFS=local"};
    if (!pathFolders_.empty()) {
        std::string path;
        for (const std::string& folder : pathFolders_)
            path += folder + ":";
        const char* inherited = std::getenv("PATH");
        command.push_back("PATH=" + path + (inherited ? inherited : "/usr/bin:/bin"));
    }
    command.push_back(program);
    command.insert(command.end(), args.begin(), args.end());
    return RunProgram("env", command);
}

std::string XdgSandbox::fileType(const std::string& file) const
{
    return WithoutLineBreak(run("xdg-mime", {"query", "filetype", file}).out);
}

std::string XdgSandbox::defaultHandler(const std::string& mimeType) const
{
    return WithoutLineBreak(run("xdg-mime", {"query", "default", mimeType}).out);
}

std::string XdgSandbox::gioDefaultHandler(const std::string& mimeType) const
{
    // "Default application for “type”: id.desktop"
    for (const std::string& line : Lines(run("gio", {"mime", mimeType}).out)) {
        if (line.rfind("Default application", 0) == 0) {
            const auto colon = line.rfind(": ");
            return colon == std::string::npos ? std::string() : line.substr(colon + 2);
        }
    }
    return {};
}

std::vector<std::string> XdgSandbox::gioHandlers(const std::string& mimeType) const
{
    std::vector<std::string> handlers;
    for (const std::string& line : Lines(run("gio", {"mime", mimeType}).out)) {
        if (!line.empty() && line.front() == '\t')
            handlers.push_back(line.substr(1));
    }
    return handlers;
}

bool XdgSandbox::open(const std::string& file) const
{
    return run("gio", {"open", file}).exitCode == 0;
}

std::string XdgSandbox::recordFile(const std::string& programPath) const
{
    return path("records/" + std::to_string(std::hash<std::string>{}(programPath)));
}

void XdgSandbox::makeRecordingProgram(const std::string& programPath) const
{
    const std::string record = recordFile(programPath);
    fs::create_directories(fs::path(record).parent_path());
    // Written whole, then renamed, so a reader never sees half a record.
    WriteText(programPath,
              "#!/bin/sh\n"
              "record=" + ShellQuoted(record) + "\n"
              "{ printf '%s\\n' \"$0\"; for a in \"$@\"; do printf '%s\\n' \"$a\"; done; } > \"$record.part\"\n"
              "mv \"$record.part\" \"$record\"\n");
    fs::permissions(programPath, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
}

std::vector<std::string> XdgSandbox::recordedRun(const std::string& programPath) const
{
    const std::string record = recordFile(programPath);
    // Generous: only a program that never runs waits this long.
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!fs::exists(record) && std::chrono::steady_clock::now() < giveUp)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const auto text = ReadText(record);
    return text ? Lines(*text) : std::vector<std::string>{};
}

void WriteText(const std::string& path, const std::string& text)
{
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

std::optional<std::string> ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::map<std::string, std::string> Snapshot(const std::string& folder)
{
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file())
            files[fs::relative(entry.path(), folder).string()] = ReadText(entry.path().string()).value_or("");
    }
    return files;
}

std::map<std::string, std::string> DesktopEntryKeys(const std::string& text)
{
    std::map<std::string, std::string> keys;
    bool inEntry = false;
    for (const std::string& line : Lines(text)) {
        if (!line.empty() && line.front() == '[') {
            inEntry = line == "[Desktop Entry]";
            continue;
        }
        const auto equals = line.find('=');
        if (inEntry && equals != std::string::npos)
            keys[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return keys;
}

DesktopToolRunner RecordingToolRunner::runner()
{
    return [this](const std::string& tool, const std::vector<std::string>& arguments) {
        std::vector<std::string> call{tool};
        call.insert(call.end(), arguments.begin(), arguments.end());
        calls.push_back(call);
        if (FindOnPath(tool))
            RunProgram(tool, arguments);
    };
}

} // namespace jbx::testing
