// Runs one ASP page on the embedded platform from its JSON description, as
// the web server runs a page that creates Tarnwick.Control: create the
// object, OnStartPage, the page's calls in order, OnEndPage.
//
// Page document:
//   "session":          an existing SessionID to continue (optional; an
//                       unknown one starts a new session, as in ASP)
//   "server_variables": request server variables (LOCAL_ADDR defaults to 127.0.0.1)
//   "site_root":        physical folder of the page's own site, for Server.MapPath
//                       (default: the platform's master control site folder)
//   "page_path":        virtual path of the page, for relative Server.MapPath paths
//                       (default "/default.asp")
//   "start_page":       false to run the calls without OnStartPage/OnEndPage
//   "calls":            [{"call": "Member", "args": [...]}, {"get": "Property"},
//                        {"put": "Property", "value": v}]
// Argument values use the JSON forms of automation values (variant_json.h);
// {"type": "Object", "value": "ScriptingContext"} is the page's own context,
// {"type": "Object", "value": {"default": v}} an object whose default member
// is the value v (as a form field of the request or a field of a record), and
// {"type": "Object", "value": {}} an object without a default member.
//
// Result document: "session", "results" (one per call that ran: the typed
// value, plus "args" for members taking arguments by reference, or "error"
// with the script's error number, its HRESULT in hex and the description),
// "response" (body, ended, redirect) and "session_values".
// After the response has ended, the remaining calls do not run.
#pragma once

#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <stdexcept>

#include "component/control.h"
#include "platform/embedded/embedded_platform.h"

namespace tarnwick::cli {

// The page document cannot be run: malformed, an unknown member, a wrong argument count.
class PageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// `commandUser` is the operating-system user of a command that runs the page
// for its own operation (the activity log's actor); "" for a panel page.
nlohmann::json runPage(platform::embedded::EmbeddedPlatform& platform, const nlohmann::json& page,
                       const std::string& commandUser = {});

// The operating-system user that runs the command, as the activity log and
// the operation records name the actor of a command.
std::string commandUserName();

// Runs `work` on a Control that a page of the master control site has
// started (OnStartPage ... OnEndPage), as a command's own operation by
// `commandUser`; for what the commands do through Control beyond a page's
// calls (the unfinished operations and their repair).
void withCommandControl(platform::embedded::EmbeddedPlatform& platform,
                        const std::string& commandUser,
                        const std::function<void(component::Control&)>& work);

}  // namespace tarnwick::cli
