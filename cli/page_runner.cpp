#include "cli/page_runner.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>

#include "automation/dispatch.h"
#include "automation/error.h"
#include "automation/text.h"
#include "automation/variant_json.h"
#include "component/control_object.h"

namespace tarnwick::cli {

using automation::Variant;
using nlohmann::json;
namespace embedded = platform::embedded;

namespace {

struct PlannedCall {
    const component::Member* member;
    std::vector<Variant> args;
};

std::string describeCall(size_t index) { return "calls[" + std::to_string(index) + "]"; }

PlannedCall planCall(const json& call, size_t index, const automation::ObjectResolver& objects) {
    auto where = describeCall(index);
    if (!call.is_object()) throw PageError(where + " must be an object");
    int verbs = static_cast<int>(call.contains("call")) + static_cast<int>(call.contains("get")) +
                static_cast<int>(call.contains("put"));
    if (verbs != 1) throw PageError(where + " needs exactly one of \"call\", \"get\" or \"put\"");

    component::MemberKind kind = component::MemberKind::Method;
    const char* verb = "call";
    if (call.contains("get")) {
        kind = component::MemberKind::PropertyGet;
        verb = "get";
    } else if (call.contains("put")) {
        kind = component::MemberKind::PropertyPut;
        verb = "put";
    }
    const json& name = call.at(verb);
    if (!name.is_string()) throw PageError(where + ": the member name must be a string");
    const auto* member = component::findMember(name.get<std::string>(), kind);
    if (!member) {
        // The name is quoted as JSON so that whatever it holds stays on one line.
        throw PageError(where + ": Tarnwick.Control has no member " + name.dump() +
                        " that can be used with \"" + verb + "\"");
    }

    PlannedCall planned{member, {}};
    try {
        if (kind == component::MemberKind::PropertyPut) {
            if (!call.contains("value")) throw PageError(where + ": \"put\" needs a \"value\"");
            planned.args.push_back(automation::variantFromJson(call.at("value"), objects));
        } else if (call.contains("args")) {
            if (!call.at("args").is_array()) throw PageError(where + ": \"args\" must be a list");
            for (const auto& arg : call.at("args")) {
                planned.args.push_back(automation::variantFromJson(arg, objects));
            }
        }
    } catch (const automation::ValueFormatError& error) {
        throw PageError(where + ": " + error.what());
    }
    if (planned.args.size() != member->parameters.size()) {
        throw PageError(where + ": " + std::string(member->name) + " takes " +
                        std::to_string(member->parameters.size()) + " argument(s), " +
                        std::to_string(planned.args.size()) + " given");
    }
    return planned;
}

json errorJson(const automation::AutomationError& error) {
    return {{"number", error.number()},
            {"hex", automation::hexNumber(automation::hresultOf(error.number()))},
            {"description", error.description()}};
}

bool takesReferences(const component::Member& member) {
    for (const auto& parameter : member.parameters) {
        if (parameter.byReference && parameter.type == component::ValueType::Variant) return true;
    }
    return false;
}

json pageOptions(const json& page, embedded::PageRequest& request) {
    if (!page.is_object()) throw PageError("the page must be a JSON object");
    if (page.contains("session") && !page.at("session").is_null()) {
        if (!page.at("session").is_string()) throw PageError("\"session\" must be a string");
        request.sessionId = page.at("session").get<std::string>();
    }
    if (page.contains("server_variables")) {
        const auto& variables = page.at("server_variables");
        if (!variables.is_object()) throw PageError("\"server_variables\" must be an object");
        for (const auto& [name, value] : variables.items()) {
            if (!value.is_string())
                throw PageError("server variable " + name + " must be a string");
            request.serverVariables[automation::toUpperAscii(name)] = value.get<std::string>();
        }
    }
    if (page.contains("site_root")) {
        if (!page.at("site_root").is_string()) throw PageError("\"site_root\" must be a string");
        request.siteRoot = page.at("site_root").get<std::string>();
    }
    if (page.contains("page_path")) {
        if (!page.at("page_path").is_string()) throw PageError("\"page_path\" must be a string");
        request.pagePath = page.at("page_path").get<std::string>();
    }
    json calls = page.contains("calls") ? page.at("calls") : json::array();
    if (!calls.is_array()) throw PageError("\"calls\" must be a list");
    return calls;
}

// An object the page passes whose default member holds a value, as ASP's
// Request.Form("x") (a string list) and an ADO field (rs("x")) do; without a
// value, an object that has no default member. It has no other member.
class ValueObject final : public automation::Dispatch {
public:
    explicit ValueObject(std::optional<Variant> value) : value_(std::move(value)) {}

    Variant invoke(std::string_view name, automation::InvokeKind kind,
                   std::span<Variant> args) override {
        if (!name.empty() || !value_ || kind == automation::InvokeKind::PropertyPut ||
            !args.empty()) {
            automation::raise(automation::errors::kMemberNotFound);
        }
        return *value_;
    }

private:
    std::optional<Variant> value_;
};

// {"default": v} or {} as the value of {"type": "Object"}.
automation::ObjectRef valueObject(const json& description,
                                  const automation::ObjectResolver& objects) {
    for (const auto& entry : description.items()) {
        if (entry.key() != "default") {
            throw automation::ValueFormatError("unknown object entry \"" + entry.key() + "\"");
        }
    }
    std::optional<Variant> value;
    if (description.contains("default")) {
        value = automation::variantFromJson(description.at("default"), objects);
    }
    return std::make_shared<ValueObject>(std::move(value));
}

// Puts the page's context where a placeholder for it stands, in arrays too.
void fillContext(Variant& value, const automation::ObjectRef& context) {
    if (value.type() == automation::VarType::Object && !value.object()) {
        value = Variant(context);
    } else if (value.type() == automation::VarType::Array) {
        for (auto& item : value.array()) fillContext(item, context);
    }
}

}  // namespace

json runPage(embedded::EmbeddedPlatform& platform, const json& page,
             const std::string& commandUser) {
    embedded::PageRequest request;
    request.siteRoot = platform.store().settings().masterSiteRoot;
    json calls = pageOptions(page, request);
    bool startPage = true;
    if (page.contains("start_page")) {
        if (!page.at("start_page").is_boolean())
            throw PageError("\"start_page\" must be true or false");
        startPage = page.at("start_page").get<bool>();
    }

    // Everything is checked before the page starts, so a bad document changes nothing.
    std::shared_ptr<embedded::EmbeddedPage> context;
    std::vector<PlannedCall> planned;
    automation::ObjectResolver resolver = [&context,
                                           &resolver](const json& value) -> automation::ObjectRef {
        if (value == "ScriptingContext") return context;
        if (value.is_object()) return valueObject(value, resolver);
        throw automation::ValueFormatError(
            "an object a page passes is {\"type\": \"Object\", \"value\": "
            "\"ScriptingContext\"} or {\"type\": \"Object\", \"value\": {\"default\": v}}");
    };
    for (size_t i = 0; i < calls.size(); ++i) planned.push_back(planCall(calls[i], i, resolver));

    context = std::make_shared<embedded::EmbeddedPage>(platform.sharedStore(), request,
                                                       platform.objects());
    // The placeholders for the context were resolved before it existed: fill them in now.
    for (auto& call : planned) {
        for (auto& arg : call.args) fillContext(arg, context);
    }

    component::ControlObject object(platform.services());
    object.control().setCommandUser(commandUser);
    json result = {{"session", context->sessionId()}, {"results", json::array()}};
    bool started = false;
    if (startPage) {
        try {
            object.control().OnStartPage(context);
            started = true;
        } catch (const automation::AutomationError& error) {
            result["start_error"] = errorJson(error);
        }
    }
    if (!startPage || started) {
        for (auto& call : planned) {
            if (context->responseState().ended) break;
            json entry;
            try {
                entry = automation::variantToJson(object.invokeMember(*call.member, call.args));
                if (takesReferences(*call.member)) {
                    entry["args"] = json::array();
                    for (const auto& arg : call.args) {
                        entry["args"].push_back(automation::variantToJson(arg));
                    }
                }
            } catch (const automation::AutomationError& error) {
                entry = {{"error", errorJson(error)}};
            }
            result["results"].push_back(std::move(entry));
        }
    }
    if (started) object.control().OnEndPage();

    const auto& response = context->responseState();
    result["response"] = {{"body", response.body},
                          {"ended", response.ended},
                          {"redirect", response.redirect ? json(*response.redirect) : json()}};
    json values = json::object();
    for (const auto& [key, value] : context->sessionValues()) {
        values[key] = automation::variantToJson(value);
    }
    result["session_values"] = std::move(values);
    return result;
}

std::string commandUserName() {
    if (const passwd* entry = getpwuid(geteuid()); entry && entry->pw_name) return entry->pw_name;
    const char* name = std::getenv("USER");
    return name ? name : "";
}

void withCommandControl(embedded::EmbeddedPlatform& platform, const std::string& commandUser,
                        const std::function<void(component::Control&)>& work) {
    embedded::PageRequest request;
    request.siteRoot = platform.store().settings().masterSiteRoot;
    auto context = std::make_shared<embedded::EmbeddedPage>(platform.sharedStore(), request,
                                                            platform.objects());
    component::Control control(platform.services());
    control.setCommandUser(commandUser);
    control.OnStartPage(context);
    struct EndPage {
        component::Control& control;
        ~EndPage() { control.OnEndPage(); }
    } endPage{control};
    work(control);
}

}  // namespace tarnwick::cli
