// The moniker of a directory path ("IIS://WEBHOST/W3SVC/2",
// "WinNT://WEBHOST/Guests,group"): made by the provider's ParseDisplayName
// without looking at the path, it binds in BindToObject. A bind that fails
// returns the provider's error number as its HRESULT, so the script (or the
// component) sees the real error rather than a syntax error of the name.
#pragma once

#include <windows.h>
#include <objidl.h>

#include <functional>
#include <string>

#include "automation/dispatch.h"

namespace tarnwick::tests::wine {

using Binder = std::function<automation::ObjectRef(const std::string& path)>;

// Returns the new moniker with one reference, owned by the caller.
IMoniker* makeDirectoryMoniker(const CLSID& provider, std::wstring displayName, Binder bind);

}  // namespace tarnwick::tests::wine
