// The state of the DLL as a COM server: its module, the count of live
// objects and server locks (for DllCanUnloadNow), and the type information
// of class Control loaded from the type library embedded in the DLL.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>

namespace tarnwick::com {

HMODULE module();
// The full path of the DLL.
std::wstring modulePath();

void objectCreated();
void objectDestroyed();
void lockServer(bool lock);
bool canUnload();

// The vtable half of the dual interface _Control and the coclass Control,
// loaded once from the embedded type library (no registration needed). The
// pointers stay valid while the DLL is loaded; the calls return an HRESULT.
HRESULT controlInterfaceInfo(ITypeInfo** info);
HRESULT controlClassInfo(ITypeInfo** info);

}  // namespace tarnwick::com
