#pragma once
// Runs the built qzcard in a child, waits until `ready` answers true (work
// is under way: a file appeared, say) or a time bound passes, then sends it
// `signal` and waits for it to end. For tests of interruption.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "TestFiles.h"

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace qztest {

struct SignalledRun {
    bool exited = false;
    int exitCode = -1;
    int signal = 0;  // that ended it, when it did not exit
    std::string err;
};

inline SignalledRun RunAndSignal(const std::vector<std::string>& args, const std::function<bool()>& ready,
                                 int signal, const std::string& errFile) {
    std::vector<char*> argv = {const_cast<char*>(QZCARD_BINARY)};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_WRONLY);
        const int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(null, 1);
        dup2(err, 2);
        execv(QZCARD_BINARY, argv.data());
        _exit(127);
    }
    SignalledRun run;
    if (pid < 0) return run;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    int status = 0;
    pid_t ended = 0;
    while (!ready() && std::chrono::steady_clock::now() < deadline &&
           (ended = waitpid(pid, &status, WNOHANG)) == 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    if (ended == 0) {  // still running (it may end by itself before the signal lands)
        kill(pid, signal);
        waitpid(pid, &status, 0);
    }
    run.exited = WIFEXITED(status);
    run.exitCode = run.exited ? WEXITSTATUS(status) : -1;
    run.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    run.err = ReadText(errFile);
    return run;
}

}  // namespace qztest
