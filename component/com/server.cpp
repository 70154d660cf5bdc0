// DllMain, DllGetClassObject and DllCanUnloadNow, and the type information
// that IDispatch and IProvideClassInfo serve.
#include "component/com/server.h"

#include <mutex>

#include "Tarnwick.h"
#include "component/com/class_factory.h"
#include "platform/win32/com_ptr.h"

namespace tarnwick::com {

using platform::win32::ComPtr;

namespace {
HMODULE g_module = nullptr;
LONG g_objects = 0;
LONG g_locks = 0;

struct TypeInformation {
    std::once_flag loaded;
    HRESULT status = E_FAIL;
    ComPtr<ITypeInfo> controlInterface;
    ComPtr<ITypeInfo> controlClass;
};

TypeInformation& typeInformation() {
    static TypeInformation information;
    std::call_once(information.loaded, [] {
        ComPtr<ITypeLib> library;
        HRESULT hr = LoadTypeLibEx(modulePath().c_str(), REGKIND_NONE, library.put());
        ComPtr<ITypeInfo> dispatchInfo;
        if (SUCCEEDED(hr)) hr = library->GetTypeInfoOfGuid(IID__Control, dispatchInfo.put());
        // The library gives the dispatch half of a dual interface; DispInvoke
        // calls through the vtable half.
        HREFTYPE vtable = 0;
        if (SUCCEEDED(hr)) hr = dispatchInfo->GetRefTypeOfImplType(static_cast<UINT>(-1), &vtable);
        if (SUCCEEDED(hr)) {
            hr = dispatchInfo->GetRefTypeInfo(vtable, information.controlInterface.put());
        }
        if (SUCCEEDED(hr))
            hr = library->GetTypeInfoOfGuid(CLSID_Control, information.controlClass.put());
        information.status = hr;
    });
    return information;
}
}  // namespace

HMODULE module() { return g_module; }

std::wstring modulePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetModuleFileNameW(g_module, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

void objectCreated() { InterlockedIncrement(&g_objects); }
void objectDestroyed() { InterlockedDecrement(&g_objects); }
void lockServer(bool lock) {
    if (lock) {
        InterlockedIncrement(&g_locks);
    } else {
        InterlockedDecrement(&g_locks);
    }
}
bool canUnload() { return g_objects == 0 && g_locks == 0; }

HRESULT controlInterfaceInfo(ITypeInfo** info) {
    if (!info) return E_POINTER;
    auto& information = typeInformation();
    *info = nullptr;
    if (FAILED(information.status)) return information.status;
    *info = ComPtr<ITypeInfo>(information.controlInterface).detach();
    return S_OK;
}

HRESULT controlClassInfo(ITypeInfo** info) {
    if (!info) return E_POINTER;
    auto& information = typeInformation();
    *info = nullptr;
    if (FAILED(information.status)) return information.status;
    *info = ComPtr<ITypeInfo>(information.controlClass).detach();
    return S_OK;
}

}  // namespace tarnwick::com

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        tarnwick::com::g_module = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (clsid != CLSID_Control) return CLASS_E_CLASSNOTAVAILABLE;
    return tarnwick::com::controlFactory().QueryInterface(iid, out);
}

STDAPI DllCanUnloadNow() { return tarnwick::com::canUnload() ? S_OK : S_FALSE; }

}  // extern "C"
