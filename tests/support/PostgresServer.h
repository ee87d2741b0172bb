#pragma once
// A throwaway PostgreSQL server for one test program, started once, by the
// first test that asks for it, and stopped by a GoogleTest environment
// (AddPostgresEnvironment) when the program ends: initdb and pg_ctl of Debian's postgresql package
// (/usr/lib/postgresql/N/bin, or QZ_POSTGRES_BIN), listening on a Unix
// socket in a scratch folder of its own only (no TCP), run as the
// `postgres` user when the tests run as root. The cluster initdb makes is
// kept once per build under QZ_TEST_TMP and copied for each program, so a
// program starts its server in a fraction of a second. A helper process
// stops the server and removes its folder if the program dies. Each test
// takes a database of its own (NewDatabase). psql is the independent
// reader. Without PostgreSQL the tests that need it skip, and fail under
// CI=true.
#include "ExternalTool.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace qztest {

class PostgresServer {
public:
    static PostgresServer& Instance() {
        static PostgresServer server;
        return server;
    }

    // Starts the server on the first call.
    bool Running() {
        if (!m_Started) {
            m_Started = true;
            Start();
        }
        return m_Running;
    }
    const std::string& Why() const { return m_Why; }

    // A new empty database; its connection URL.
    std::string NewDatabase() {
        const std::string name = "qz_test_" + std::to_string(++m_Databases);
        const CommandResult made = Psql("postgres", "CREATE DATABASE " + name);
        EXPECT_EQ(made.exitCode, 0) << made.output;
        return "postgresql:///" + name + "?host=" + m_Socket + "&user=postgres";
    }

    // psql's unaligned answer to `sql` in `database` (the name in a URL of
    // NewDatabase), rows on lines, columns split by '|'.
    CommandResult Psql(const std::string& database, const std::string& sql) const {
        return RunCommand(ShellQuote(m_Bin + "/psql") + " -X -q -A -t -v ON_ERROR_STOP=1 -h " +
                              ShellQuote(m_Socket) + " -U postgres -d " + ShellQuote(database) + " -c " +
                              ShellQuote(sql),
                          Capture::StdoutAndStderr);
    }
    static std::string DatabaseOf(const std::string& url) {
        const size_t start = url.find(":///") + 4;
        return url.substr(start, url.find('?') - start);
    }

    void Stop() {
        if (m_Running)
            Run(AsServerUser(ShellQuote(m_Bin + "/pg_ctl") + " -D " + ShellQuote(m_Folder + "/data") +
                             " -m immediate -w stop"));
        m_Running = false;
        if (m_WatcherInput >= 0) {
            close(m_WatcherInput);  // the watcher finds the server stopped and removes the folder
            waitpid(m_Watcher, nullptr, 0);
            m_WatcherInput = -1;
        }
    }

private:
    void Start() {
        m_Bin = FindBin();
        if (m_Bin.empty()) {
            m_Why = "PostgreSQL's initdb and pg_ctl are not installed (Debian package postgresql)";
            return;
        }
        const char* base = std::getenv("QZ_TEST_TMP");
        const std::string root = base && *base ? base : std::filesystem::temp_directory_path().string();
        std::filesystem::create_directories(root);
        const std::string cluster = root + "/postgres-cluster";
        if (!MakeCluster(cluster)) return;
        // The socket's path must stay short (108 bytes), so the server's folder is in /tmp.
        std::string folder = "/tmp/qzpg-XXXXXX";
        if (!mkdtemp(folder.data())) {
            m_Why = "mkdtemp failed";
            return;
        }
        m_Folder = folder;
        m_Socket = folder;
        if (!Run("cp -a " + ShellQuote(cluster) + " " + ShellQuote(folder + "/data")) ||
            (getuid() == 0 && !Run("chown -R postgres " + ShellQuote(folder)))) {
            m_Why = "cannot copy the cluster to " + folder;
            return;
        }
        StartWatcher();
        const std::string options = "-k " + folder +
                                    " -c listen_addresses='' -c fsync=off -c synchronous_commit=off "
                                    "-c full_page_writes=off -c max_connections=50";
        if (!Run(AsServerUser(ShellQuote(m_Bin + "/pg_ctl") + " -D " + ShellQuote(folder + "/data") + " -o " +
                              ShellQuote(options) + " -w -t 60 -l " + ShellQuote(folder + "/log") +
                              " start"))) {
            m_Why = "pg_ctl start failed: " + ReadLog();
            return;
        }
        m_Running = true;
    }

    static bool Run(const std::string& command) {
        return RunCommand(command + " >/dev/null 2>&1").exitCode == 0;
    }

    static std::string AsServerUser(const std::string& command) {
        return getuid() == 0 ? "runuser -u postgres -- " + command : command;
    }

    static std::string FindBin() {
        if (const char* bin = std::getenv("QZ_POSTGRES_BIN")) return bin;
        const CommandResult found =
            RunCommand("ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1 | tr -d '\\n'");
        return !found.output.empty() && std::filesystem::exists(found.output + "/initdb") ? found.output : "";
    }

    std::string ReadLog() const {
        return RunCommand("cat " + ShellQuote(m_Folder + "/log") + " 2>&1").output;
    }

    // The cluster initdb makes, once per build (under a lock, for test
    // programs that start at once).
    bool MakeCluster(const std::string& cluster) {
        const int lock = open((cluster + ".lock").c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0644);
        if (lock < 0 || flock(lock, LOCK_EX) != 0) {
            m_Why = "cannot lock " + cluster + ".lock";
            return false;
        }
        bool made = std::filesystem::exists(cluster + "/PG_VERSION");
        if (!made) {
            const std::string fresh = cluster + ".new";
            std::filesystem::remove_all(fresh);
            std::filesystem::create_directories(fresh);
            if (getuid() == 0) Run("chown postgres " + ShellQuote(fresh));
            made = Run(AsServerUser(ShellQuote(m_Bin + "/initdb") + " -D " + ShellQuote(fresh) +
                                    " -A trust -U postgres -E UTF8 --no-sync")) &&
                   rename(fresh.c_str(), cluster.c_str()) == 0;
            if (!made) m_Why = "initdb failed in " + fresh;
        }
        close(lock);
        return made;
    }

    // A shell that waits for our end of a pipe to close (this program has
    // ended, however it ended), then stops the server and removes its folder.
    void StartWatcher() {
        int pipeEnds[2];
        if (pipe(pipeEnds) != 0) return;
        const std::string stop = AsServerUser(ShellQuote(m_Bin + "/pg_ctl") + " -D " +
                                              ShellQuote(m_Folder + "/data") + " -m immediate -w stop");
        const std::string script =
            "cat >/dev/null; " + stop + " >/dev/null 2>&1; rm -rf " + ShellQuote(m_Folder);
        m_Watcher = fork();
        if (m_Watcher == 0) {
            dup2(pipeEnds[0], 0);
            close(pipeEnds[0]);
            close(pipeEnds[1]);
            setsid();  // a signal to the test's process group leaves it running
            execl("/bin/sh", "sh", "-c", script.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        close(pipeEnds[0]);
        // Programs the tests start must not hold the pipe open.
        fcntl(pipeEnds[1], F_SETFD, FD_CLOEXEC);
        m_WatcherInput = pipeEnds[1];
    }

    std::string m_Bin;
    std::string m_Folder;
    std::string m_Socket;
    std::string m_Why;
    bool m_Started = false;
    bool m_Running = false;
    int m_Databases = 0;
    pid_t m_Watcher = -1;
    int m_WatcherInput = -1;
};

class PostgresEnvironment : public testing::Environment {
public:
    void TearDown() override { PostgresServer::Instance().Stop(); }
};

// Call once per test program, before RUN_ALL_TESTS (at namespace scope:
// `static auto* const kPostgres = qztest::AddPostgresEnvironment();`).
inline testing::Environment* AddPostgresEnvironment() {
    return testing::AddGlobalTestEnvironment(new PostgresEnvironment);
}

}  // namespace qztest

// Skips the current test when no server runs, or fails it under CI=true.
#define QZ_REQUIRE_POSTGRES()                                                                             \
    do {                                                                                                  \
        if (!::qztest::PostgresServer::Instance().Running()) {                                            \
            if (::qztest::RunningUnderCI())                                                               \
                FAIL() << "PostgreSQL is required in CI: " << ::qztest::PostgresServer::Instance().Why(); \
            GTEST_SKIP() << "no PostgreSQL: " << ::qztest::PostgresServer::Instance().Why();              \
        }                                                                                                 \
    } while (0)
