// The machine-wide lock on Windows: a named mutex in the Global\ namespace,
// which the IIS worker processes of every application pool and tarnwick.exe
// share. Only SYSTEM and Administrators may open it (the panel's pages run as
// an administrator, as they make accounts): a hosted site's pages, which run
// as its Guests account, cannot hold it and stall the panel.
//
// A mutex whose owning thread ended without releasing it is abandoned: the
// next wait returns WAIT_ABANDONED and owns it, so a killed holder leaves the
// lock to the next page instead of blocking it.
#include <windows.h>
#include <sddl.h>

#include <memory>
#include <utility>

#include "automation/error.h"
#include "platform/win32/services.h"

namespace tarnwick::platform::win32 {

namespace {

constexpr wchar_t kMutexName[] = L"Global\\Tarnwick.SiteBindings";
constexpr wchar_t kMutexAccess[] = L"D:(A;;GA;;;SY)(A;;GA;;;BA)";

[[noreturn]] void raiseLastError(const char* what) {
    const DWORD error = GetLastError();
    automation::raise(static_cast<int32_t>(HRESULT_FROM_WIN32(error)), what);
}

class MutexHeld final : public MachineLock::Held {
public:
    explicit MutexHeld(HANDLE mutex) : mutex_(mutex) {}
    ~MutexHeld() override {
        ReleaseMutex(mutex_);
        CloseHandle(mutex_);
    }
    MutexHeld(const MutexHeld&) = delete;
    MutexHeld& operator=(const MutexHeld&) = delete;

private:
    HANDLE mutex_;
};

// Owns a handle until it is handed over.
class Handle {
public:
    explicit Handle(HANDLE handle) : handle_(handle) {}
    ~Handle() {
        if (handle_) CloseHandle(handle_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return handle_; }
    HANDLE release() { return std::exchange(handle_, nullptr); }

private:
    HANDLE handle_;
};

// The mutex, made with its access list by the first caller and opened by the
// later ones.
HANDLE openMutex() {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kMutexAccess, SDDL_REVISION_1,
                                                              &descriptor, nullptr)) {
        raiseLastError("The lock's access list cannot be made");
    }
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    HANDLE mutex = CreateMutexW(&attributes, FALSE, kMutexName);
    const DWORD error = GetLastError();
    LocalFree(descriptor);
    if (!mutex && error == ERROR_ACCESS_DENIED) {
        mutex = OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, kMutexName);
    } else if (!mutex) {
        SetLastError(error);
    }
    if (!mutex) raiseLastError("The site lock cannot be opened");
    return mutex;
}

class NamedMutexLock final : public MachineLock {
public:
    std::unique_ptr<Held> acquire(std::chrono::milliseconds wait) override {
        Handle mutex(openMutex());
        switch (WaitForSingleObject(mutex.get(), static_cast<DWORD>(wait.count()))) {
            case WAIT_OBJECT_0:
            case WAIT_ABANDONED: return std::make_unique<MutexHeld>(mutex.release());
            case WAIT_TIMEOUT:
                automation::raise(kTimeout,
                                  "This operation returned because the timeout period expired.");
            default: raiseLastError("The site lock cannot be waited for");
        }
    }
};

}  // namespace

std::shared_ptr<MachineLock> makeMachineLock() { return std::make_shared<NamedMutexLock>(); }

}  // namespace tarnwick::platform::win32
