#pragma once

// Runs a piece of a test in a child process whose address space may grow by only so much, so that running out of
// memory can be tried without using real gigabytes. POSIX only; the address-space limit means nothing to a
// sanitizer's shadow memory, so those builds skip it.

#include <functional>
#include <string>

#if defined(_WIN32) || defined(__SANITIZE_ADDRESS__)
#define JBX_MEMORY_LIMIT_WORKS 0
#elif defined(__has_feature)
#define JBX_MEMORY_LIMIT_WORKS !__has_feature(address_sanitizer)
#else
#define JBX_MEMORY_LIMIT_WORKS 1
#endif

#define JBX_NO_MEMORY_LIMIT_REASON \
    "an address-space limit cannot be set here (Windows, or AddressSanitizer's shadow memory)"

#if JBX_MEMORY_LIMIT_WORKS
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

namespace jbx::testing {

// Gives what body returned in the child, or how the child ended otherwise (a crash, an escaped exception).
inline std::string RunWithMemoryLimit(std::size_t headroom, const std::function<std::string()>& body)
{
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return "no pipe";
    const pid_t child = fork();
    if (child == 0) {
        close(pipeEnds[0]);
        std::size_t pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        const rlim_t limit = rlim_t(pages) * rlim_t(sysconf(_SC_PAGESIZE)) + headroom;
        const rlimit address{limit, limit};
        const std::string answer = setrlimit(RLIMIT_AS, &address) == 0 ? body() : "no limit set";
        // A blocking write to a pipe writes everything or fails.
        _exit(write(pipeEnds[1], answer.data(), answer.size()) == ssize_t(answer.size()) ? 0 : 1);
    }
    close(pipeEnds[1]);
    std::string answer;
    char buffer[512];
    for (ssize_t n; (n = read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
        answer.append(buffer, std::size_t(n));
    close(pipeEnds[0]);
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child)
        return "no child";
    if (WIFSIGNALED(status))
        return "the child was ended by signal " + std::to_string(WTERMSIG(status));
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return "the child exited with " + std::to_string(WEXITSTATUS(status));
    return answer;
}

} // namespace jbx::testing
#endif
