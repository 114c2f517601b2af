// A copy of the program's store in a process of its own, forked from the test: it waits for the
// word to start, runs its body and ends; the test may kill it with SIGKILL at any moment. What
// the child believes it did it writes to a journal file of its own, one line per write(2), so
// that the lines written before a kill survive it.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace quorvel::testing {

// Lines appended to a file, each with one write so that a kill never leaves half a line.
class JournalFile {
  public:
    explicit JournalFile(const std::filesystem::path& path)
        : fd_(::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600)) {
        if (fd_ < 0) {
            throw std::runtime_error("cannot open " + path.string());
        }
    }
    ~JournalFile() { ::close(fd_); }
    JournalFile(const JournalFile&) = delete;
    JournalFile& operator=(const JournalFile&) = delete;

    void line(const std::string& text) {
        const std::string whole = text + "\n";
        if (::write(fd_, whole.data(), whole.size()) != static_cast<ssize_t>(whole.size())) {
            throw std::runtime_error("journal write failed");
        }
    }

  private:
    int fd_;
};

inline std::vector<std::string> journalLines(const std::filesystem::path& path) {
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

class ForkedProcess {
  public:
    // body runs in the child once start() is called; the child's exit code is 0 when body
    // returns and 2 when it throws.
    explicit ForkedProcess(const std::function<void()>& body) {
        int fds[2];
        if (::pipe(fds) != 0) {
            throw std::runtime_error("pipe failed");
        }
        std::fflush(nullptr);
        pid_ = ::fork();
        if (pid_ < 0) {
            throw std::runtime_error("fork failed");
        }
        if (pid_ == 0) {
            ::close(fds[1]);
            char go = '\0';
            int code = 3;
            if (::read(fds[0], &go, 1) == 1) {
                try {
                    body();
                    code = 0;
                } catch (...) {
                    code = 2;
                }
            }
            ::_exit(code);
        }
        ::close(fds[0]);
        startFd_ = fds[1];
    }
    ~ForkedProcess() {
        kill();
        if (startFd_ >= 0) {
            ::close(startFd_);
        }
    }
    ForkedProcess(const ForkedProcess&) = delete;
    ForkedProcess& operator=(const ForkedProcess&) = delete;

    void start() {
        const char go = 'G';
        [[maybe_unused]] const ssize_t n = ::write(startFd_, &go, 1);
        ::close(startFd_);
        startFd_ = -1;
    }
    // Whether the child is still running.
    bool running() {
        if (pid_ <= 0) {
            return false;
        }
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            status_ = status;
            return false;
        }
        return true;
    }
    // Kills the child with SIGKILL; false when it had ended already.
    bool kill() {
        if (!running()) {
            return false;
        }
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, &status_, 0);
        pid_ = -1;
        return true;
    }
    // Waits for the child to end; its exit code, or -1 when it was killed by a signal.
    int wait() {
        if (pid_ > 0) {
            ::waitpid(pid_, &status_, 0);
            pid_ = -1;
        }
        return WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
    }

  private:
    pid_t pid_ = -1;
    int startFd_ = -1;
    int status_ = 0;
};

}  // namespace quorvel::testing
