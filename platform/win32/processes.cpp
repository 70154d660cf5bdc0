// The processes of a Windows server: a mark is "<process id>/<creation
// time>", the creation time as GetProcessTimes gives it (100-nanosecond
// intervals since 1601), so that an id that Windows hands out again does not
// pass for the process that died.
#include <windows.h>

#include <charconv>
#include <memory>
#include <string>

#include "platform/win32/services.h"

namespace tarnwick::platform::win32 {

namespace {

std::string creationTimeOf(HANDLE process) {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return {};
    const auto ticks =
        (static_cast<unsigned long long>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
    return std::to_string(ticks);
}

class WindowsProcesses final : public Processes {
public:
    std::string current() override {
        return std::to_string(GetCurrentProcessId()) + "/" + creationTimeOf(GetCurrentProcess());
    }

    bool running(std::string_view mark) override {
        auto slash = mark.find('/');
        if (slash == std::string_view::npos || slash == 0) return false;
        unsigned long id = 0;
        auto digits = mark.substr(0, slash);
        auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), id);
        if (error != std::errc() || end != digits.data() + digits.size() || id == 0) return false;
        // PROCESS_QUERY_INFORMATION: Windows 2000 has no limited query right.
        HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, id);
        if (!process) return GetLastError() == ERROR_ACCESS_DENIED;
        std::unique_ptr<void, decltype(&CloseHandle)> owned(process, &CloseHandle);
        DWORD exitCode = 0;
        if (!GetExitCodeProcess(process, &exitCode) || exitCode != STILL_ACTIVE) return false;
        return creationTimeOf(process) == mark.substr(slash + 1);
    }
};

}  // namespace

std::shared_ptr<Processes> makeProcesses() { return std::make_shared<WindowsProcesses>(); }

}  // namespace tarnwick::platform::win32
