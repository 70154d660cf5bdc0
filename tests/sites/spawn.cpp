#include "spawn.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace tarnwick::testing {

namespace {
std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::atomic<int> counter{0};
}  // namespace

Spawned::Spawned(const std::vector<std::string>& argv, const std::string& input,
                 const std::filesystem::path& workFolder) {
    std::filesystem::create_directories(workFolder);
    auto stem =
        workFolder / ("process-" + std::to_string(getpid()) + "-" + std::to_string(++counter));
    in_ = stem.string() + ".in";
    out_ = stem.string() + ".out";
    err_ = stem.string() + ".err";
    std::ofstream(in_, std::ios::binary) << input;

    // Everything the child needs is prepared before fork.
    std::vector<char*> args;
    for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    std::string inPath = in_.string(), outPath = out_.string(), errPath = err_.string();

    pid_ = fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
        int in = open(inPath.c_str(), O_RDONLY);
        int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in < 0 || out < 0 || err < 0) _exit(126);
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        execv(args[0], args.data());
        _exit(127);
    }
}

Spawned::~Spawned() {
    if (!reaped_) {
        kill();
        wait();
    }
    std::error_code ignored;
    std::filesystem::remove(in_, ignored);
    std::filesystem::remove(out_, ignored);
    std::filesystem::remove(err_, ignored);
}

void Spawned::kill() {
    if (!reaped_) ::kill(pid_, SIGKILL);
}

int Spawned::wait() {
    if (!reaped_) {
        while (waitpid(pid_, &status_, 0) < 0 && errno == EINTR) {
        }
        reaped_ = true;
    }
    return WIFEXITED(status_) ? WEXITSTATUS(status_) : 128 + WTERMSIG(status_);
}

bool Spawned::ended() {
    if (!reaped_ && waitpid(pid_, &status_, WNOHANG) == pid_) reaped_ = true;
    return reaped_;
}

std::string Spawned::out() const { return readFile(out_); }
std::string Spawned::err() const { return readFile(err_); }

}  // namespace tarnwick::testing
