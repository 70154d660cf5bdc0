// The system's cryptographic generator and ANSI code page, and the services
// assembled for the component.
#include <windows.h>
#include <userenv.h>
#include <wincrypt.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "automation/error.h"
#include "platform/win32/com_values.h"
#include "platform/win32/services.h"

namespace tarnwick::platform::win32 {

namespace {

// CryptGenRandom through a verify-only context of the base provider: present
// on every Windows from NT 4, where RtlGenRandom came only with XP.
class SystemRandom final : public RandomSource {
public:
    void fill(std::span<uint8_t> bytes) override {
        if (!provider_ && !CryptAcquireContextW(&provider_, nullptr, nullptr, PROV_RSA_FULL,
                                                CRYPT_VERIFYCONTEXT | CRYPT_SILENT)) {
            provider_ = 0;
            failed();
        }
        while (!bytes.empty()) {
            auto chunk = bytes.first(std::min<size_t>(bytes.size(), 1u << 20));
            if (!CryptGenRandom(provider_, static_cast<DWORD>(chunk.size()), chunk.data())) {
                failed();
            }
            bytes = bytes.subspan(chunk.size());
        }
    }
    SystemRandom() = default;
    SystemRandom(const SystemRandom&) = delete;
    SystemRandom& operator=(const SystemRandom&) = delete;
    ~SystemRandom() override {
        if (provider_) CryptReleaseContext(provider_, 0);
    }

private:
    [[noreturn]] static void failed() {
        automation::raise(automation::errors::kUnexpected, "The system's random generator failed");
    }
    HCRYPTPROV provider_ = 0;
};

class SystemAnsiCodePage final : public AnsiCodePage {
public:
    unsigned codePage() const override { return GetACP(); }
    std::string fromUtf8(std::string_view text) override {
        auto wide = toWide(text);
        if (wide.empty()) return {};
        int size = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()),
                                       nullptr, 0, nullptr, nullptr);
        std::string ansi(static_cast<size_t>(size), '\0');
        WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), ansi.data(),
                            size, nullptr, nullptr);
        return ansi;
    }
    std::string toUtf8(std::string_view text) override {
        if (text.empty()) return {};
        int size =
            MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
        std::wstring wide(static_cast<size_t>(size), L'\0');
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                            size);
        return win32::toUtf8(wide);
    }
};

// A Win32 call's failure as the automation error it carries.
[[noreturn]] void raiseLastError(const char* call) {
    automation::raise(static_cast<int32_t>(HRESULT_FROM_WIN32(GetLastError())),
                      std::string(call) + " failed");
}

// A call that fills a buffer of wide characters and returns the length it
// wrote, or the size it needs when the buffer is too small, or 0 on failure.
template <class Call>
std::optional<std::wstring> filledBuffer(Call&& call) {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = call(buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return std::nullopt;
        if (length < buffer.size()) {
            buffer.resize(length);
            return buffer;
        }
        buffer.resize(length);
    }
}

// The Windows folder and Program Files as the system's environment names
// them (SystemRoot and ProgramFiles are set on every Windows 2000 and 2003
// machine), and the folder that holds every user's profile as userenv names
// it. The installer leaves no record of its folder that the component could
// read, so it is not named here.
class EnvironmentSystemFolders : public SystemFolders {
public:
    std::vector<std::string> protectedFolders() override {
        std::vector<std::string> folders;
        for (const char* name : {"SystemRoot", "ProgramFiles"}) {
            if (const char* value = std::getenv(name)) folders.push_back(ansi.toUtf8(value));
        }
        DWORD size = 0;
        GetProfilesDirectoryW(nullptr, &size);
        std::wstring profiles(size, L'\0');
        if (size > 0 && GetProfilesDirectoryW(profiles.data(), &size)) {
            folders.push_back(toUtf8(profiles.c_str()));
        }
        return folders;
    }

    // GetFullPathNameW resolves "." and ".." and makes the path whole;
    // GetLongPathNameW then replaces the short names of the longest part of
    // it that exists (it fails for a path that does not), and the rest follows
    // as given.
    std::string longPathName(std::string_view path) override {
        const std::wstring wide = toWide(path);
        auto full = filledBuffer([&](wchar_t* buffer, DWORD size) {
            return GetFullPathNameW(wide.c_str(), size, buffer, nullptr);
        });
        if (!full) raiseLastError("GetFullPathNameW");
        // A trailing separator names the same folder.
        std::wstring existing = *full;
        while (existing.size() > 3 && existing.back() == L'\\') existing.pop_back();
        std::wstring rest;
        for (;;) {
            auto resolved = filledBuffer([&](wchar_t* buffer, DWORD size) {
                return GetLongPathNameW(existing.c_str(), buffer, size);
            });
            if (resolved) {
                if (!rest.empty() && !resolved->empty() && resolved->back() == L'\\') {
                    resolved->pop_back();  // a root's separator
                }
                return toUtf8(*resolved + rest);
            }
            // Nothing of the path exists, not even its root: it stays as it is.
            const auto separator = existing.find_last_of(L'\\');
            if (separator == std::wstring::npos || separator + 1 >= existing.size()) {
                return toUtf8(existing + rest);
            }
            rest = existing.substr(separator) + rest;
            existing.resize(separator);
            if (existing.size() == 2 && existing[1] == L':') existing += L'\\';
        }
    }

private:
    SystemAnsiCodePage ansi;
};

}  // namespace

std::shared_ptr<RandomSource> makeRandomSource() { return std::make_shared<SystemRandom>(); }
std::shared_ptr<AnsiCodePage> makeAnsiCodePage() { return std::make_shared<SystemAnsiCodePage>(); }

Services makeServices() {
    return Services{makeDirectory(),
                    makeAdvapi32(),
                    makeRandomSource(),
                    makeAnsiCodePage(),
                    std::make_shared<EnvironmentSystemFolders>(),
                    makeMachineLock(),
                    makeProcesses()};
}

}  // namespace tarnwick::platform::win32
