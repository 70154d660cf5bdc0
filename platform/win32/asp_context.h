// The ASP page objects of a real page, taken from the ScriptingContext that
// IIS hands to OnStartPage. The context and each intrinsic are reached
// late-bound through their IDispatch, with the members ASP gives them:
// Request.ServerVariables(name), Response.Write/End/Redirect,
// Server.CreateObject/MapPath, Session.Value(key)/SessionID,
// Application.Value(key).
#pragma once

#include <windows.h>
#include <oaidl.h>

#include "platform/asp.h"
#include "platform/win32/com_ptr.h"

namespace tarnwick::platform::win32 {

// Raises error 91 when `context` is null (no page context was given).
std::shared_ptr<ScriptingContext> scriptingContextOf(IUnknown* context);

}  // namespace tarnwick::platform::win32
