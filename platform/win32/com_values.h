// Crossing the COM boundary: text between UTF-8 (inside the system) and
// UTF-16, automation values between Variant and VARIANT, and errors between
// AutomationError and HRESULT with its exception information.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>
#include <string_view>

#include "automation/error.h"
#include "automation/variant.h"

namespace tarnwick::platform::win32 {

std::wstring toWide(std::string_view utf8);
std::string toUtf8(std::wstring_view wide);

// The value of a VARIANT, through references. Objects become late-bound
// adapters (DispatchObject); an object made by this process is unwrapped.
// Types without a Variant form take the nearest one (VT_UI1 ... VT_I8 as
// Long or Double, dates and currency as Double); anything else is a type
// mismatch.
automation::Variant fromVariant(const VARIANT& value);

// Writes `value` into `out`, which must be empty. Objects made here go out as
// themselves, other objects as IDispatch adapters (CoreObject); Arrays as
// SAFEARRAYs of VARIANT.
void toVariant(const automation::Variant& value, VARIANT* out);

// Writes `value` into an [in, out] parameter: through a VT_BYREF reference
// (a script passes VT_BYREF | VT_VARIANT, a C++ caller may pass VT_BYREF |
// VT_I4 and the like, then the value is converted to that type), or in place
// of a plain value.
HRESULT writeBack(VARIANT* parameter, const automation::Variant& value);

// The error number a script sees for a failed call: 0x800A0000 | n comes back
// as n, dispatch failures as the script engine's numbers (438, 450, 13, ...),
// other HRESULTs as themselves.
int32_t errorNumberOf(HRESULT hr);

// Raises the AutomationError of a failed IDispatch::Invoke.
[[noreturn]] void raiseInvokeError(HRESULT hr, EXCEPINFO& info);

// Fills `info` for an error raised inside an IDispatch implementation and
// returns DISP_E_EXCEPTION.
HRESULT exceptionOf(const automation::AutomationError& error, EXCEPINFO* info,
                    std::wstring_view source);

}  // namespace tarnwick::platform::win32
