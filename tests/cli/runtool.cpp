#include "tests/cli/runtool.h"

#include "tests/support/testfiles.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;
#endif

namespace jbx::testing {

namespace {

std::string ReadText(const std::string& path)
{
    const Bytes bytes = ReadBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

#ifdef _WIN32

std::wstring Wide(const std::string& utf8)
{
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
    std::wstring wide(std::size_t(n > 0 ? n : 0), L'\0');
    if (n > 0)
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), wide.data(), n);
    return wide;
}

// One argument as the C runtime's command-line parser (CommandLineToArgvW)
// splits it back out: quoted, with backslashes doubled only where they come
// before a quote.
std::wstring Quoted(const std::wstring& arg)
{
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        out.push_back(c);
    }
    out.append(2 * backslashes, L'\\');
    out.push_back(L'"');
    return out;
}

HANDLE InheritableFile(const std::wstring& path, bool forWriting)
{
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return CreateFileW(path.c_str(), forWriting ? GENERIC_WRITE : GENERIC_READ,
        FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, forWriting ? CREATE_ALWAYS : OPEN_EXISTING,
        FILE_ATTRIBUTE_NORMAL, nullptr);
}

// The C runtime writes standard output and error in text mode here: every
// LF comes out as CR LF.
std::string WithoutCarriageReturns(std::string text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n'))
            out.push_back(text[i]);
    }
    return out;
}

#endif

} // namespace

#ifdef _WIN32

RunResult RunProgram(const std::string& program, const std::vector<std::string>& args)
{
    TempDir capture;
    const std::string outPath = capture.file("stdout");
    const std::string errPath = capture.file("stderr");

    std::wstring commandLine = Quoted(Wide(program));
    for (const std::string& arg : args)
        commandLine += L" " + Quoted(Wide(arg));

    RunResult result;
    HANDLE input = InheritableFile(L"NUL", false);
    HANDLE output = InheritableFile(Wide(outPath), true);
    HANDLE error = InheritableFile(Wide(errPath), true);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input;
    startup.hStdOutput = output;
    startup.hStdError = error;
    PROCESS_INFORMATION process{};
    const bool handlesOpen = input != INVALID_HANDLE_VALUE && output != INVALID_HANDLE_VALUE
        && error != INVALID_HANDLE_VALUE;
    // Wine on a loaded machine now and then fails to start a process that
    // starts the next time; the program under test has not run yet then.
    bool started = false;
    for (int attempt = 0; handlesOpen && !started && attempt < 3; ++attempt) {
        if (attempt > 0)
            Sleep(200);
        started = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
            &startup, &process);
    }
    for (HANDLE handle : {input, output, error}) {
        if (handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
    }
    if (!started) {
        result.err = "cannot start " + program;
        return result;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 0;
    if (GetExitCodeProcess(process.hProcess, &status))
        result.exitCode = int(status);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    result.out = WithoutCarriageReturns(ReadText(outPath));
    result.err = WithoutCarriageReturns(ReadText(errPath));
    return result;
}

#else

RunResult RunProgram(const std::string& program, const std::vector<std::string>& args)
{
    // The outputs go to files rather than pipes, so a chatty program cannot
    // block on a full pipe while we wait for it.
    TempDir capture;
    const std::string outPath = capture.file("stdout");
    const std::string errPath = capture.file("stderr");

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    RunResult result;
    pid_t pid = 0;
    int status = 0;
    const bool started = posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    if (!started) {
        result.err = "cannot start " + program;
        return result;
    }
    if (waitpid(pid, &status, 0) == pid && WIFEXITED(status))
        result.exitCode = WEXITSTATUS(status);
    result.out = ReadText(outPath);
    result.err = ReadText(errPath);
    return result;
}

#endif

RunResult RunJbxtool(const std::vector<std::string>& args)
{
    return RunProgram(JBXTOOL_PATH, args);
}

std::string JbxtoolPath()
{
    return JBXTOOL_PATH;
}

} // namespace jbx::testing
