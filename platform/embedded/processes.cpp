#include "platform/embedded/processes.h"

#include <unistd.h>

#include <charconv>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

namespace tarnwick::platform::embedded {

namespace {

struct ProcessStatus {
    char state = '?';
    std::string startTime;
};

// The state and start time of process `pid`; nothing when it does not exist.
// The fields after the command's name, which may itself hold blanks and
// parentheses, are read from the last ')' on.
std::optional<ProcessStatus> statusOf(const std::string& pid) {
    std::ifstream file("/proc/" + pid + "/stat");
    std::string text;
    if (!file || !std::getline(file, text)) return std::nullopt;
    auto close = text.rfind(')');
    if (close == std::string::npos) return std::nullopt;
    std::istringstream fields(text.substr(close + 1));
    ProcessStatus status;
    fields >> status.state;
    // The state is the 3rd field, the start time the 22nd.
    std::string field;
    for (int number = 4; number <= 22 && fields >> field; ++number) {
        if (number == 22) status.startTime = field;
    }
    if (status.startTime.empty()) return std::nullopt;
    return status;
}

}  // namespace

std::string HostProcesses::current() {
    const std::string pid = std::to_string(::getpid());
    auto status = statusOf(pid);
    return pid + "/" + (status ? status->startTime : std::string("0"));
}

bool HostProcesses::running(std::string_view mark) {
    auto slash = mark.find('/');
    if (slash == std::string_view::npos || slash == 0) return false;
    int pid = 0;
    auto digits = mark.substr(0, slash);
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), pid);
    if (error != std::errc() || end != digits.data() + digits.size() || pid <= 0) return false;
    auto status = statusOf(std::string(digits));
    // A process killed but not yet waited for is a zombie: it runs nothing.
    return status && status->state != 'Z' && status->startTime == mark.substr(slash + 1);
}

}  // namespace tarnwick::platform::embedded
