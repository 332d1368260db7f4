// jbxtool: batch work on JBX sound banks and voice files from the command
// line, through the same core as the editor.

#include "cli/jbxtool.h"
#include "seam/filesystem.h"

#include <iostream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>

// The program takes paths as UTF-8; Windows hands its arguments over in
// UTF-16 and only an ANSI code page through main's argv.
static std::vector<std::string> Arguments(int, char**)
{
    std::vector<std::string> args;
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide)
        return args;
    for (int i = 1; i < count; ++i) {
        const int n = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        std::string arg(n > 0 ? std::size_t(n - 1) : 0, '\0');
        if (n > 1)
            WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, arg.data(), n, nullptr, nullptr);
        args.push_back(std::move(arg));
    }
    LocalFree(wide);
    return args;
}

#else
static std::vector<std::string> Arguments(int argc, char** argv)
{
    return std::vector<std::string>(argv + 1, argv + argc);
}
#endif

int main(int argc, char** argv)
{
    // Ctrl+C or a closed terminal in the middle of a save leaves no
    // temporary file beside the output.
    jbx::RemoveTemporaryFilesOnInterrupt();
    const int status = jbx::RunJbxtool(Arguments(argc, argv), std::cout, std::cerr);
    // Output that never arrived (a full disk, a closed pipe) is a failure.
    if (!std::cout.flush() && status == jbx::kExitSuccess)
        return jbx::kExitFailure;
    return status;
}
