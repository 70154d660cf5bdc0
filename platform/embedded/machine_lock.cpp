#include "platform/embedded/machine_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "automation/error.h"

namespace tarnwick::platform::embedded {

namespace {

constexpr int32_t kAccessDenied = static_cast<int32_t>(0x80070005u);
constexpr int32_t kPathNotFound = static_cast<int32_t>(0x80070003u);
constexpr int32_t kUnspecified = static_cast<int32_t>(0x80004005u);

[[noreturn]] void raiseTimeout() {
    automation::raise(MachineLock::kTimeout,
                      "This operation returned because the timeout period expired.");
}

// The lock file held open and locked; closing the descriptor lets go.
class FileHeld : public MachineLock::Held {
public:
    explicit FileHeld(int descriptor) : descriptor_(descriptor) {}
    ~FileHeld() override { ::close(descriptor_); }
    FileHeld(const FileHeld&) = delete;
    FileHeld& operator=(const FileHeld&) = delete;

private:
    int descriptor_;
};

class MutexHeld : public MachineLock::Held {
public:
    explicit MutexHeld(std::timed_mutex& mutex) : lock_(mutex, std::adopt_lock) {}

private:
    std::unique_lock<std::timed_mutex> lock_;
};

}  // namespace

EmbeddedMachineLock::EmbeddedMachineLock(std::filesystem::path folder,
                                         std::shared_ptr<FaultInjector> faults)
    : file_(folder.empty() ? folder : folder / "machine.lock"), faults_(std::move(faults)) {}

std::unique_ptr<MachineLock::Held> EmbeddedMachineLock::acquire(std::chrono::milliseconds wait) {
    faults_->check("WaitForSingleObject", kName);
    const auto deadline = std::chrono::steady_clock::now() + wait;
    if (file_.empty()) {
        if (!inProcess_.try_lock_until(deadline)) raiseTimeout();
        return std::make_unique<MutexHeld>(inProcess_);
    }

    // Each acquisition opens the file anew: flock locks belong to an open
    // file, so two threads of one process exclude each other as two
    // processes do.
    const int descriptor = ::open(file_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (descriptor < 0) {
        const int error = errno;
        automation::raise(error == EACCES || error == EPERM ? kAccessDenied
                          : error == ENOENT                 ? kPathNotFound
                                                            : kUnspecified,
                          "The lock file " + file_.string() + " cannot be opened");
    }
    auto held = std::make_unique<FileHeld>(descriptor);
    // A waiting caller asks again at short intervals: flock(2) itself cannot
    // wait for a limited time.
    auto pause = std::chrono::milliseconds(1);
    while (::flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) {
            automation::raise(kUnspecified,
                              "The lock file " + file_.string() + " cannot be locked");
        }
        if (std::chrono::steady_clock::now() >= deadline) raiseTimeout();
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::milliseconds(16));
    }
    return held;
}

}  // namespace tarnwick::platform::embedded
