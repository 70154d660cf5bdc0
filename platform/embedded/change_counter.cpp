#include "platform/embedded/change_counter.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>

namespace tarnwick::platform::embedded {

std::unique_ptr<ChangeCounter> ChangeCounter::open(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return nullptr;
    struct stat status {};
    void* mapped = MAP_FAILED;
    // A new file is extended with zeros; two processes doing it at once agree.
    if (::fstat(fd, &status) == 0 && (status.st_size >= static_cast<off_t>(sizeof(uint64_t)) ||
                                      ::ftruncate(fd, sizeof(uint64_t)) == 0)) {
        mapped = ::mmap(nullptr, sizeof(uint64_t), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    }
    ::close(fd);
    if (mapped == MAP_FAILED) return nullptr;
    return std::make_unique<ChangeCounter>(Mapped{static_cast<uint64_t*>(mapped)});
}

ChangeCounter::~ChangeCounter() { ::munmap(shared_, sizeof(uint64_t)); }

uint64_t ChangeCounter::value() const {
    return std::atomic_ref<uint64_t>(*shared_).load(std::memory_order_acquire);
}

void ChangeCounter::raise() {
    std::atomic_ref<uint64_t>(*shared_).fetch_add(1, std::memory_order_acq_rel);
}

}  // namespace tarnwick::platform::embedded
