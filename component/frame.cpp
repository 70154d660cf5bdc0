// The frame of Control: page context, configuration properties, the per-call
// hook and the error page writer.
#include "automation/error.h"
#include "component/control.h"
#include "component/error_page.h"

namespace tarnwick::component {

namespace errors = automation::errors;

namespace {
template <class Object>
Object& pageObject(const std::shared_ptr<Object>& object) {
    if (!object) {
        automation::raise(errors::kObjectNotSet,
                          "The page objects are available only between OnStartPage and OnEndPage");
    }
    return *object;
}
}  // namespace

platform::Request& Control::request() const { return pageObject(request_); }
platform::Response& Control::response() const { return pageObject(response_); }
platform::Server& Control::server() const { return pageObject(server_); }
platform::Session& Control::session() const { return pageObject(session_); }

namespace {
template <class Service>
Service& service(const std::shared_ptr<Service>& object) {
    if (!object) automation::raise(errors::kObjectNotSet, "The platform offers no such service");
    return *object;
}
}  // namespace

platform::Directory& Control::directory() const { return service(services_.directory); }
platform::Advapi32& Control::advapi32() const { return service(services_.advapi32); }
platform::RandomSource& Control::random() const { return service(services_.random); }
platform::AnsiCodePage& Control::ansi() const { return service(services_.ansi); }
platform::MachineLock& Control::machineLock() const { return service(services_.machineLock); }

void Control::OnStartPage(
    const std::shared_ptr<platform::ScriptingContext>& PassedScriptingContext) {
    // Keep the context and take its objects in this order; a refused one
    // ends the call with its error, the ones taken before it stay set.
    context_ = PassedScriptingContext;
    auto& context = pageObject(context_);
    application_ = context.application();
    request_ = context.request();
    response_ = context.response();
    server_ = context.server();
    session_ = context.session();
    // A new page starts without the check flag.
    isChkUser_ = false;
}

void Control::OnEndPage() {
    context_.reset();
    application_.reset();
    request_.reset();
    response_.reset();
    server_.reset();
    session_.reset();
}

Variant Control::ChkUser() { return {}; }

Variant Control::ShowErr(const Variant& Str) {
    if (automation::equalsEmptyString(Str)) return {};
    auto& page = response();
    page.write(errorPage(automation::concatText(Str)));
    page.end();
    // The activity log gives the message as the outcome of the call that showed it.
    if (loggedDepth_ > 0 && !shownError_) shownError_ = automation::concatText(Str);
    return {};
}

}  // namespace tarnwick::component
