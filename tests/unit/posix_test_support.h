#pragma once

// Helpers shared by the tests of the POSIX services: scratch folders and
// bounded child processes.

#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <thread>

namespace poremisu::testing {

// A fresh folder under the temporary folder, removed with everything in it.
class ScratchDir {
public:
    ScratchDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "poremisu-posix-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        m_path = pattern;
    }
    ~ScratchDir() {
        std::error_code ignored;
        std::filesystem::permissions(m_path, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(m_path, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& Path() const { return m_path; }
    std::string operator/(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

// Restores the current directory when the test ends.
class CurrentDirectoryGuard {
public:
    CurrentDirectoryGuard() : m_saved(std::filesystem::current_path()) {}
    ~CurrentDirectoryGuard() {
        std::error_code ignored;
        std::filesystem::current_path(m_saved, ignored);
    }

private:
    std::filesystem::path m_saved;
};

// Sets an environment variable for the length of a test.
class EnvGuard {
public:
    EnvGuard(const char* name, const std::optional<std::string>& value) : m_name(name) {
        if (const char* old = ::getenv(name)) m_saved = old;
        Set(value);
    }
    ~EnvGuard() { Set(m_saved); }

private:
    void Set(const std::optional<std::string>& value) {
        if (value)
            ::setenv(m_name.c_str(), value->c_str(), 1);
        else
            ::unsetenv(m_name.c_str());
    }
    std::string m_name;
    std::optional<std::string> m_saved;
};

inline std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

inline void WriteWholeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// A child process running `body`, its result the exit code.
class Child {
public:
    explicit Child(const std::function<int()>& body) {
        m_pid = ::fork();
        if (m_pid == 0) {
            int code = 99;
            try {
                code = body();
            } catch (...) {
            }
            ::_exit(code);
        }
    }
    ~Child() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    // The exit code, or nullopt when the child did not end in time (it is
    // then killed) or died of a signal.
    std::optional<int> Wait(std::chrono::milliseconds timeout) {
        auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            int status = 0;
            pid_t done = ::waitpid(m_pid, &status, WNOHANG);
            if (done == m_pid) {
                m_pid = -1;
                if (WIFEXITED(status)) return WEXITSTATUS(status);
                return std::nullopt;
            }
            if (std::chrono::steady_clock::now() >= deadline) {
                ::kill(m_pid, SIGKILL);
                ::waitpid(m_pid, nullptr, 0);
                m_pid = -1;
                return std::nullopt;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }

private:
    pid_t m_pid = -1;
};

inline std::optional<int> RunInChild(const std::function<int()>& body, std::chrono::milliseconds timeout) {
    Child child(body);
    return child.Wait(timeout);
}

}  // namespace poremisu::testing
