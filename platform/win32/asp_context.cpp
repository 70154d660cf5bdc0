#include "platform/win32/asp_context.h"

#include "automation/error.h"
#include "platform/win32/dispatch_object.h"

namespace tarnwick::platform::win32 {

namespace errors = automation::errors;
using automation::Dispatch;
using automation::InvokeKind;
using automation::ObjectRef;

namespace {

// The intrinsic object that `context` gives for `name`.
ObjectRef intrinsic(Dispatch& context, std::string_view name) {
    auto value = context.get(name);
    if (value.type() != automation::VarType::Object || !value.object()) {
        automation::raise(errors::kObjectRequired);
    }
    return value.object();
}

// Application and Session keep values by key in their Value property.
template <class Interface>
class KeyedValues : public Interface {
public:
    explicit KeyedValues(ObjectRef object) : object_(std::move(object)) {}
    Variant value(std::string_view key) override {
        Variant args[] = {Variant(key)};
        return object_->invoke("Value", InvokeKind::PropertyGet, args);
    }
    void setValue(std::string_view key, const Variant& value) override {
        Variant args[] = {Variant(key), value};
        object_->invoke("Value", InvokeKind::PropertyPut, args);
    }

protected:
    ObjectRef object_;
};

using AspApplication = KeyedValues<Application>;

class AspRequest final : public Request {
public:
    explicit AspRequest(ObjectRef object) : object_(std::move(object)) {}
    Variant serverVariable(std::string_view name) override {
        auto variables = object_->get("ServerVariables");
        Variant args[] = {Variant(name)};
        auto value = automation::objectOf(variables).invoke("Item", InvokeKind::PropertyGet, args);
        // ASP answers with a string list; its default value is the text.
        if (value.type() == automation::VarType::Object && value.object()) {
            value = value.object()->get("Item");
        }
        return value;
    }

private:
    ObjectRef object_;
};

class AspResponse final : public Response {
public:
    explicit AspResponse(ObjectRef object) : object_(std::move(object)) {}
    void write(const Variant& text) override { object_->call("Write", {text}); }
    void end() override { object_->call("End"); }
    void redirect(std::string_view url) override { object_->call("Redirect", {Variant(url)}); }

private:
    ObjectRef object_;
};

class AspServer final : public Server {
public:
    explicit AspServer(ObjectRef object) : object_(std::move(object)) {}
    ObjectRef createObject(std::string_view progId) override {
        auto value = object_->call("CreateObject", {Variant(progId)});
        if (value.type() != automation::VarType::Object || !value.object()) {
            automation::raise(errors::kCannotCreateObject);
        }
        return value.object();
    }
    std::string mapPath(std::string_view path) override {
        return automation::toText(object_->call("MapPath", {Variant(path)}));
    }

private:
    ObjectRef object_;
};

class AspSession final : public KeyedValues<Session> {
public:
    using KeyedValues::KeyedValues;
    std::string sessionId() override { return automation::toText(object_->get("SessionID")); }
};

class AspContext final : public ScriptingContext {
public:
    explicit AspContext(ObjectRef context) : context_(std::move(context)) {}
    std::shared_ptr<Application> application() override {
        return std::make_shared<AspApplication>(intrinsic(*context_, "Application"));
    }
    std::shared_ptr<Request> request() override {
        return std::make_shared<AspRequest>(intrinsic(*context_, "Request"));
    }
    std::shared_ptr<Response> response() override {
        return std::make_shared<AspResponse>(intrinsic(*context_, "Response"));
    }
    std::shared_ptr<Server> server() override {
        return std::make_shared<AspServer>(intrinsic(*context_, "Server"));
    }
    std::shared_ptr<Session> session() override {
        return std::make_shared<AspSession>(intrinsic(*context_, "Session"));
    }

private:
    ObjectRef context_;
};

}  // namespace

std::shared_ptr<ScriptingContext> scriptingContextOf(IUnknown* context) {
    if (!context) automation::raise(errors::kObjectNotSet);
    ComPtr<IDispatch> dispatch;
    if (FAILED(context->QueryInterface(IID_IDispatch, dispatch.putVoid()))) {
        automation::raise(errors::kTypeMismatch);
    }
    return std::make_shared<AspContext>(adapt(dispatch.get()));
}

}  // namespace tarnwick::platform::win32
