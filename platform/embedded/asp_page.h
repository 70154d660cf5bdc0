// One ASP page on the embedded platform: its scripting context with Request,
// Response, Server, Session and Application.
//
// The Response keeps what reaches the client. After End (or Redirect) further
// writes are dropped, and the page runner stops the page's script. A redirect
// replaces the buffered body with the server's "Object moved" page.
// Application values live as long as the page object (one page per process
// on the command line).
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "automation/dispatch.h"
#include "platform/asp.h"
#include "platform/embedded/session_store.h"

namespace tarnwick::platform::embedded {

// Creates the object behind a ProgID for Server.CreateObject; nullptr when unknown.
using ObjectFactory = std::function<ObjectRef(std::string_view progId)>;

struct PageRequest {
    std::optional<std::string> sessionId;  // continue this session when it exists
    std::map<std::string, std::string> serverVariables;
    std::string siteRoot = "C:\\Inetpub\\wwwroot";  // physical folder of the page's own site
    std::string pagePath = "/default.asp";          // virtual path of the .asp file being run
};

struct ResponseState {
    std::string body;
    bool ended = false;
    std::optional<std::string> redirect;
};

class EmbeddedPage : public ScriptingContext, public automation::Dispatch {
public:
    EmbeddedPage(std::shared_ptr<Store> store, PageRequest request, ObjectFactory objects = {});
    ~EmbeddedPage() override;

    std::shared_ptr<Application> application() override;
    std::shared_ptr<Request> request() override;
    std::shared_ptr<Response> response() override;
    std::shared_ptr<Server> server() override;
    std::shared_ptr<Session> session() override;

    // The context exposes no members to late binding.
    automation::Variant invoke(std::string_view name, automation::InvokeKind kind,
                               std::span<automation::Variant> args) override;

    const ResponseState& responseState() const;
    const std::string& sessionId() const;
    std::vector<std::pair<std::string, automation::Variant>> sessionValues();

private:
    struct Objects;
    std::unique_ptr<Objects> objects_;
};

}  // namespace tarnwick::platform::embedded
