// The system's cryptographic generator and ANSI code page, and the services
// assembled for the component.
#include <windows.h>
#include <wincrypt.h>

#include <cstdlib>

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

// The Windows folder and Program Files as the system's environment names
// them (SystemRoot and ProgramFiles are set on every Windows 2000 and 2003
// machine). The installer leaves no record of its folder that the component
// could read, so it is not named here.
class EnvironmentSystemFolders : public SystemFolders {
public:
    std::vector<std::string> protectedFolders() override {
        std::vector<std::string> folders;
        for (const char* name : {"SystemRoot", "ProgramFiles"}) {
            if (const char* value = std::getenv(name)) folders.push_back(ansi.toUtf8(value));
        }
        return folders;
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
                    makeMachineLock()};
}

}  // namespace tarnwick::platform::win32
