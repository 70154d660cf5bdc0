// DllRegisterServer and DllUnregisterServer: the type library, then the
// ProgID and the class with its in-process server (apartment threaded).
// A registration that fails part way removes what it wrote; unregistration
// removes all of it, succeeds when nothing is registered, and fails when a part
// that is registered cannot be removed.
#include <windows.h>
#include <olectl.h>

#include <string>

#include "Tarnwick.h"
#include "component/com/server.h"
#include "component/members.h"
#include "platform/win32/com_ptr.h"
#include "platform/win32/com_values.h"

namespace tarnwick::com {

namespace {

using platform::win32::ComPtr;
using platform::win32::toWide;

#ifdef _WIN64
constexpr SYSKIND kSystemKind = SYS_WIN64;
#else
constexpr SYSKIND kSystemKind = SYS_WIN32;
#endif

class RegistryKey {
public:
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    ~RegistryKey() {
        if (key_) RegCloseKey(key_);
    }
    // Creates (or opens) HKEY_CLASSES_ROOT\path for writing.
    static LONG create(const std::wstring& path, RegistryKey& out) {
        return RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                               &out.key_, nullptr);
    }
    // Opens HKEY_CLASSES_ROOT\path with the given access.
    static LONG open(const std::wstring& path, REGSAM access, RegistryKey& out) {
        return RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, access, &out.key_);
    }
    // The name of the first subkey, or ERROR_NO_MORE_ITEMS.
    LONG firstSubkey(std::wstring& name) {
        wchar_t buffer[256];  // a key name has at most 255 characters
        DWORD size = 256;
        LONG status = RegEnumKeyExW(key_, 0, buffer, &size, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_SUCCESS) name.assign(buffer, size);
        return status;
    }
    RegistryKey() = default;
    LONG setText(const wchar_t* name, const std::wstring& value) {
        return RegSetValueExW(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                              static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    }

private:
    HKEY key_ = nullptr;
};

// One key with an optional default value and one optional named value.
LONG writeKey(const std::wstring& path, const std::wstring* value, const wchar_t* name = nullptr,
              const std::wstring* named = nullptr) {
    RegistryKey key;
    LONG status = RegistryKey::create(path, key);
    if (status == ERROR_SUCCESS && value) status = key.setText(nullptr, *value);
    if (status == ERROR_SUCCESS && name) status = key.setText(name, *named);
    return status;
}

std::wstring progId() { return toWide(component::kProgId); }
std::wstring classKey() { return L"CLSID\\" + toWide(component::kClsidControl); }

LONG writeClassKeys(const std::wstring& dllPath) {
    const std::wstring progid = progId();
    const std::wstring clsid = toWide(component::kClsidControl);
    const std::wstring libid = toWide(component::kLibId);
    const std::wstring threading = toWide(component::kThreadingModel);
    const std::wstring version = std::to_wstring(component::kTypeLibraryMajor) + L"." +
                                 std::to_wstring(component::kTypeLibraryMinor);
    const std::wstring cls = classKey();
    LONG status = ERROR_SUCCESS;
    auto write = [&](const std::wstring& path, const std::wstring* value,
                     const wchar_t* name = nullptr, const std::wstring* named = nullptr) {
        if (status == ERROR_SUCCESS) status = writeKey(path, value, name, named);
    };
    write(progid, &progid);
    write(progid + L"\\CLSID", &clsid);
    write(cls, &progid);
    write(cls + L"\\InprocServer32", &dllPath, L"ThreadingModel", &threading);
    write(cls + L"\\ProgID", &progid);
    write(cls + L"\\VersionIndependentProgID", &progid);
    write(cls + L"\\TypeLib", &libid);
    write(cls + L"\\Version", &version);
    write(cls + L"\\Programmable", nullptr);
    return status;
}

// Removes HKEY_CLASSES_ROOT\path with all its subkeys (RegDeleteKeyW removes
// only a key without subkeys, and RegDeleteTreeW came after Windows 2003). A key
// that is not there counts as removed.
LONG removeKeyTree(const std::wstring& path) {
    {
        RegistryKey key;
        LONG status = RegistryKey::open(path, KEY_ENUMERATE_SUB_KEYS, key);
        if (status == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
        if (status != ERROR_SUCCESS) return status;
        std::wstring child;
        while ((status = key.firstSubkey(child)) == ERROR_SUCCESS) {
            status = removeKeyTree(path + L"\\" + child);
            if (status != ERROR_SUCCESS) return status;
        }
        if (status != ERROR_NO_MORE_ITEMS) return status;
    }
    LONG status = RegDeleteKeyW(HKEY_CLASSES_ROOT, path.c_str());
    return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

// Both keys are attempted; the first failure is reported.
LONG removeClassKeys() {
    LONG classStatus = removeKeyTree(classKey());
    LONG progIdStatus = removeKeyTree(progId());
    return classStatus != ERROR_SUCCESS ? classStatus : progIdStatus;
}

bool typeLibraryRegistered() {
    std::wstring path = L"TypeLib\\" + toWide(component::kLibId) + L"\\" +
                        std::to_wstring(component::kTypeLibraryMajor) + L"." +
                        std::to_wstring(component::kTypeLibraryMinor);
    RegistryKey key;
    return RegistryKey::open(path, KEY_READ, key) != ERROR_FILE_NOT_FOUND;
}

// A library that is not registered counts as removed; UnRegisterTypeLib itself
// reports that as an error.
HRESULT removeTypeLibrary() {
    if (!typeLibraryRegistered()) return S_OK;
    return UnRegisterTypeLib(LIBID_Tarnwick, component::kTypeLibraryMajor,
                             component::kTypeLibraryMinor, LANG_NEUTRAL, kSystemKind);
}

}  // namespace

}  // namespace tarnwick::com

extern "C" {

STDAPI DllRegisterServer() {
    using namespace tarnwick::com;
    const std::wstring path = modulePath();
    if (path.empty()) return SELFREG_E_CLASS;

    // The type library first: without it the class would be unusable.
    ComPtr<ITypeLib> library;
    HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.put());
    if (SUCCEEDED(hr))
        hr = RegisterTypeLib(library.get(), const_cast<wchar_t*>(path.c_str()), nullptr);
    if (FAILED(hr)) return SELFREG_E_TYPELIB;

    if (writeClassKeys(path) != ERROR_SUCCESS) {
        removeClassKeys();
        removeTypeLibrary();
        return SELFREG_E_CLASS;
    }
    return S_OK;
}

STDAPI DllUnregisterServer() {
    using namespace tarnwick::com;
    // Every part is attempted, so a failure leaves as little registered as possible.
    LONG classes = removeClassKeys();
    HRESULT library = removeTypeLibrary();
    if (classes != ERROR_SUCCESS) return SELFREG_E_CLASS;
    if (FAILED(library)) return SELFREG_E_TYPELIB;
    return S_OK;
}

}  // extern "C"
