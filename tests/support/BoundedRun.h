#pragma once
// Runs a program in a forked child with a time bound: the child is killed
// when it has not ended in time (a hung reader fails the test instead of
// stalling it). Its stdout and stderr go to one file; `beforeExec` runs in
// the child before the program starts (resource limits).
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace qztest {

struct BoundedResult {
    int exitCode = -1;  // -1 when killed by a signal (or by the time bound)
    int signal = 0;
    bool timedOut = false;
};

inline BoundedResult RunBounded(const std::vector<std::string>& argv, std::chrono::seconds bound,
                                const std::string& outputFile = "/dev/null",
                                const std::function<void()>& beforeExec = {}) {
    BoundedResult result;
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const pid_t pid = fork();
    if (pid < 0) return result;
    if (pid == 0) {
        const int out = open(outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int in = open("/dev/null", O_RDONLY);
        if (out >= 0) dup2(out, 1), dup2(out, 2);
        if (in >= 0) dup2(in, 0);
        if (beforeExec) beforeExec();
        execv(args[0], args.data());
        _exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + bound;
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            result.timedOut = true;
            return result;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
    return result;
}

// For `beforeExec`: sets a resource limit of the child, which ends with
// exit code 126 when it cannot.
inline void LimitResource(int resource, rlim_t value) {
    const rlimit limit{value, value};
    if (setrlimit(resource, &limit) != 0) _exit(126);
}

// Whether this build runs under a sanitizer, which reserves far more address
// space than any limit worth setting.
inline constexpr bool kSanitizedBuild =
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    true;
#else
    false;
#endif

// A count scaled by QZ_CAMPAIGN_SCALE (at least 1), for tests that run
// longer when asked to.
inline int Scaled(int count) {
    const char* scale = std::getenv("QZ_CAMPAIGN_SCALE");
    const int factor = scale ? std::atoi(scale) : 1;
    return count * (factor > 1 ? factor : 1);
}

}  // namespace qztest
