// TarnwickDoubles.dll: the directory providers and the network object that
// Wine lacks, for the pages that run Tarnwick.dll under Wine.
//
//   ProgID "IIS"                    GetObject("IIS://WEBHOST/...")   the metabase
//   ProgID "WinNT"                  GetObject("WinNT://WEBHOST/...") the local accounts
//   ProgID "Tarnwick.Test.Network"  stands in for WScript.Network (page_host --map)
//
// The class objects of "IIS" and "WinNT" answer IParseDisplayName, which the
// system's MkParseDisplayName asks for after finding the ProgID before
// "://". All of them work on the process's one Machine (machine.h); the DLL
// never unloads, so that state lasts as long as the page host.
//
// DoubleLookupAccountNameA resolves names as LookupAccountNameA does, but
// against the double's accounts: the page host puts it in place of the
// system's function in Tarnwick.dll's imports (page_host --accounts-double),
// since Wine cannot know the accounts that the double creates.
#include <windows.h>
#include <objbase.h>

#include <cstring>
#include <string>

#include "platform/embedded/accounts/network.h"
#include "platform/win32/com_ptr.h"
#include "platform/win32/com_values.h"
#include "platform/win32/core_object.h"
#include "tests/wine/doubles/machine.h"
#include "tests/wine/doubles/moniker.h"

namespace {

namespace win32 = tarnwick::platform::win32;
namespace wine = tarnwick::tests::wine;

HMODULE g_module = nullptr;

// {5E0B7C21-3A94-4D6B-8F12-7C44A1D90001}
const CLSID kIisClass = {
    0x5e0b7c21, 0x3a94, 0x4d6b, {0x8f, 0x12, 0x7c, 0x44, 0xa1, 0xd9, 0x00, 0x01}};
// {5E0B7C21-3A94-4D6B-8F12-7C44A1D90002}
const CLSID kWinNTClass = {
    0x5e0b7c21, 0x3a94, 0x4d6b, {0x8f, 0x12, 0x7c, 0x44, 0xa1, 0xd9, 0x00, 0x02}};
// {5E0B7C21-3A94-4D6B-8F12-7C44A1D90003}
const CLSID kNetworkClass = {
    0x5e0b7c21, 0x3a94, 0x4d6b, {0x8f, 0x12, 0x7c, 0x44, 0xa1, 0xd9, 0x00, 0x03}};

enum class Kind { Iis, WinNT, Network };

struct ClassInfo {
    Kind kind;
    const CLSID* clsid;
    const wchar_t* progId;
};
const ClassInfo kClasses[] = {
    {Kind::Iis, &kIisClass, L"IIS"},
    {Kind::WinNT, &kWinNTClass, L"WinNT"},
    {Kind::Network, &kNetworkClass, L"Tarnwick.Test.Network"},
};

tarnwick::automation::ObjectRef bindPath(Kind kind, const std::string& path) {
    auto& machine = wine::machine();
    if (kind == Kind::Iis) return machine.metabase->bind(path);
    return machine.winnt->bind(path);
}

// A static class object: creation for the network double, display names for
// the providers.
class ClassObject final : public IClassFactory, public IParseDisplayName {
public:
    explicit ClassObject(const ClassInfo& info) : info_(info) {}

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IClassFactory) {
            *out = static_cast<IClassFactory*>(this);
        } else if (iid == IID_IParseDisplayName && info_.kind != Kind::Network) {
            *out = static_cast<IParseDisplayName*>(this);
        } else {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        if (info_.kind != Kind::Network) return E_NOINTERFACE;
        try {
            auto network = tarnwick::platform::embedded::makeNetworkObject(
                [] { return std::string(wine::kComputerName); });
            auto object = win32::ComPtr<IDispatch>::adopt(
                win32::CoreObject::create(std::move(network), L"WScript.Network"));
            return object->QueryInterface(iid, out);
        } catch (...) {
            return E_OUTOFMEMORY;
        }
    }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }

    // The whole name is taken; the path is looked at when the moniker binds.
    STDMETHODIMP ParseDisplayName(IBindCtx*, LPOLESTR name, ULONG* eaten, IMoniker** out) override {
        *eaten = 0;
        *out = nullptr;
        std::wstring text(name);
        std::wstring prefix = std::wstring(info_.progId) + L":";
        if (text.size() < prefix.size() ||
            _wcsnicmp(text.c_str(), prefix.c_str(), prefix.size()) != 0) {
            return MK_E_SYNTAX;
        }
        Kind kind = info_.kind;
        *out = wine::makeDirectoryMoniker(
            *info_.clsid, text, [kind](const std::string& path) { return bindPath(kind, path); });
        if (!*out) return E_OUTOFMEMORY;
        *eaten = static_cast<ULONG>(text.size());
        return S_OK;
    }

private:
    const ClassInfo& info_;
};

ClassObject g_objects[] = {ClassObject(kClasses[0]), ClassObject(kClasses[1]),
                           ClassObject(kClasses[2])};

std::wstring guidText(const GUID& guid) {
    wchar_t text[40];
    StringFromGUID2(guid, text, 40);
    return text;
}

LONG setText(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
    HKEY handle;
    LONG status = RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                                  &handle, nullptr);
    if (status != ERROR_SUCCESS) return status;
    status = RegSetValueExW(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(handle);
    return status;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    for (size_t i = 0; i < std::size(kClasses); ++i) {
        if (clsid == *kClasses[i].clsid) return g_objects[i].QueryInterface(iid, out);
    }
    *out = nullptr;
    return CLASS_E_CLASSNOTAVAILABLE;
}

// The machine's state lives in this DLL: it stays loaded until the process ends.
extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() { return S_FALSE; }

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
    wchar_t file[MAX_PATH];
    GetModuleFileNameW(g_module, file, MAX_PATH);
    for (const auto& info : kClasses) {
        std::wstring key = L"CLSID\\" + guidText(*info.clsid);
        std::wstring title = std::wstring(info.progId) + L" (Tarnwick test double)";
        LONG status = setText(key, nullptr, title);
        if (status == ERROR_SUCCESS) status = setText(key + L"\\InprocServer32", nullptr, file);
        if (status == ERROR_SUCCESS) {
            status = setText(key + L"\\InprocServer32", L"ThreadingModel", L"Both");
        }
        if (status == ERROR_SUCCESS) status = setText(key + L"\\ProgID", nullptr, info.progId);
        if (status == ERROR_SUCCESS) status = setText(info.progId, nullptr, title);
        if (status == ERROR_SUCCESS) {
            status =
                setText(std::wstring(info.progId) + L"\\CLSID", nullptr, guidText(*info.clsid));
        }
        if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
    }
    return S_OK;
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
    for (const auto& info : kClasses) {
        RegDeleteTreeW(HKEY_CLASSES_ROOT, (L"CLSID\\" + guidText(*info.clsid)).c_str());
        RegDeleteTreeW(HKEY_CLASSES_ROOT, info.progId);
    }
    return S_OK;
}

// LookupAccountNameA over the double's accounts: the SID and domain of a
// local account, built-in group or well-known principal; ERROR_NONE_MAPPED
// for an unknown name; ERROR_INSUFFICIENT_BUFFER with the sizes needed (the
// domain's counting its terminator) when a buffer is too small. The system
// name must be empty or this computer.
extern "C" BOOL WINAPI DoubleLookupAccountNameA(LPCSTR systemName, LPCSTR accountName, PSID sid,
                                                LPDWORD sidSize, LPSTR domain, LPDWORD domainSize,
                                                PSID_NAME_USE use) {
    if (!accountName || !sidSize || !domainSize) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (systemName && *systemName && _stricmp(systemName, wine::kComputerName) != 0) {
        SetLastError(RPC_S_SERVER_UNAVAILABLE);
        return FALSE;
    }
    try {
        auto found = wine::machine().accounts->lookupName(accountName);
        if (!found) {
            SetLastError(ERROR_NONE_MAPPED);
            return FALSE;
        }
        const auto sidBytes = static_cast<DWORD>(found->sid.size());
        const auto domainChars = static_cast<DWORD>(found->domain.size());
        if (!sid || *sidSize < sidBytes || !domain || *domainSize <= domainChars) {
            *sidSize = sidBytes;
            *domainSize = domainChars + 1;
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return FALSE;
        }
        std::memcpy(sid, found->sid.data(), sidBytes);
        std::memcpy(domain, found->domain.c_str(), domainChars + 1);
        *sidSize = sidBytes;
        *domainSize = domainChars;
        if (use) *use = static_cast<SID_NAME_USE>(found->use);
        SetLastError(ERROR_SUCCESS);
        return TRUE;
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
}
