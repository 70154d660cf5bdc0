// The ASP page objects that a component reaches through the ScriptingContext
// given to OnStartPage. Each implementation (the embedded page, the adapters
// to the real intrinsics) raises AutomationError with the numbers ASP uses.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "automation/dispatch.h"
#include "automation/variant.h"

namespace tarnwick::platform {

using automation::ObjectRef;
using automation::Variant;

class Application {
public:
    virtual ~Application() = default;
    virtual Variant value(std::string_view key) = 0;
    virtual void setValue(std::string_view key, const Variant& value) = 0;
};

class Request {
public:
    virtual ~Request() = default;
    // Request.ServerVariables(name) as text; Empty for a variable the server does not know.
    virtual Variant serverVariable(std::string_view name) = 0;
};

class Response {
public:
    virtual ~Response() = default;
    virtual void write(const Variant& text) = 0;
    // Ends the response: nothing written afterwards reaches the client, and
    // the page's script stops after the current call.
    virtual void end() = 0;
    // Sends the browser to `url` and ends the response.
    virtual void redirect(std::string_view url) = 0;
};

class Server {
public:
    virtual ~Server() = default;
    virtual ObjectRef createObject(std::string_view progId) = 0;
    // The physical path of a virtual path of the page's own site.
    virtual std::string mapPath(std::string_view path) = 0;
};

class Session {
public:
    virtual ~Session() = default;
    // The value stored under `key` (keys ignore case); Empty for a key never written.
    virtual Variant value(std::string_view key) = 0;
    virtual void setValue(std::string_view key, const Variant& value) = 0;
    virtual std::string sessionId() = 0;
};

// The page's context. Each accessor may refuse its object with an automation error.
class ScriptingContext {
public:
    virtual ~ScriptingContext() = default;
    virtual std::shared_ptr<Application> application() = 0;
    virtual std::shared_ptr<Request> request() = 0;
    virtual std::shared_ptr<Response> response() = 0;
    virtual std::shared_ptr<Server> server() = 0;
    virtual std::shared_ptr<Session> session() = 0;
};

}  // namespace tarnwick::platform
