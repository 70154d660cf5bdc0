#include "support/process.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>

namespace tarnwick::testing {

namespace {
struct Pipe {
    int fd[2] = {-1, -1};
    Pipe() {
        if (pipe2(fd, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    }
    ~Pipe() {
        closeEnd(0);
        closeEnd(1);
    }
    void closeEnd(int end) {
        if (fd[end] >= 0) close(fd[end]);
        fd[end] = -1;
    }
};
}  // namespace

ProcessResult runProcess(const std::vector<std::string>& argv, const std::string& input) {
    Pipe in, out, err;
    pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        dup2(in.fd[0], 0);
        dup2(out.fd[1], 1);
        dup2(err.fd[1], 2);
        std::vector<char*> args;
        for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    in.closeEnd(0);
    out.closeEnd(1);
    err.closeEnd(1);

    ProcessResult result;
    size_t written = 0;
    if (input.empty()) in.closeEnd(1);
    while (out.fd[0] >= 0 || err.fd[0] >= 0) {
        pollfd fds[3];
        int count = 0;
        auto watch = [&](int fd, short events) {
            if (fd >= 0) fds[count++] = {fd, events, 0};
        };
        watch(out.fd[0], POLLIN);
        watch(err.fd[0], POLLIN);
        watch(in.fd[1], POLLOUT);
        if (poll(fds, static_cast<nfds_t>(count), -1) < 0) break;
        for (int i = 0; i < count; ++i) {
            if (fds[i].revents == 0) continue;
            if (fds[i].fd == in.fd[1]) {
                ssize_t n = write(in.fd[1], input.data() + written, input.size() - written);
                if (n > 0) written += static_cast<size_t>(n);
                if (n <= 0 || written == input.size()) in.closeEnd(1);
                continue;
            }
            char buffer[4096];
            ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            Pipe& source = fds[i].fd == out.fd[0] ? out : err;
            if (n <= 0) {
                source.closeEnd(0);
            } else {
                (fds[i].fd == out.fd[0] ? result.out : result.err)
                    .append(buffer, static_cast<size_t>(n));
            }
        }
    }
    int status = 0;
    waitpid(pid, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

}  // namespace tarnwick::testing
