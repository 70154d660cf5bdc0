#include "platform/embedded/files/random_source.h"

#include <sys/random.h>

#include <cerrno>
#include <system_error>

namespace tarnwick::platform::embedded::files {

void SystemRandomSource::fill(std::span<uint8_t> bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t got = getrandom(bytes.data() + done, bytes.size() - done, 0);
        if (got < 0) {
            if (errno == EINTR) continue;
            throw std::system_error(errno, std::generic_category(), "getrandom");
        }
        done += static_cast<size_t>(got);
    }
}

}  // namespace tarnwick::platform::embedded::files
