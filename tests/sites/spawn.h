// Starts a program in the background with its standard input from a string
// and its output collected in files, so that a test can run several at once
// or kill one at a chosen moment.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace tarnwick::testing {

class Spawned {
public:
    // Starts `argv` (argv[0] is the program's path); `input` is written to a
    // file first and given as standard input.
    Spawned(const std::vector<std::string>& argv, const std::string& input,
            const std::filesystem::path& workFolder);
    ~Spawned();  // kills and reaps a process still running
    Spawned(const Spawned&) = delete;
    Spawned& operator=(const Spawned&) = delete;

    pid_t pid() const { return pid_; }
    // Sends SIGKILL.
    void kill();
    // Waits for the end; the exit code, or 128 + the signal that ended it.
    int wait();
    // Whether the process has ended (then wait() returns at once).
    bool ended();
    std::string out() const;
    std::string err() const;

private:
    pid_t pid_ = -1;
    bool reaped_ = false;
    int status_ = 0;
    std::filesystem::path in_, out_, err_;
};

}  // namespace tarnwick::testing
