// The description of a member call that the operation records and the
// activity log keep (activity_call.cpp), shared with the repair's own call.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "automation/error.h"
#include "automation/text.h"
#include "component/activity_log.h"
#include "component/control.h"

namespace tarnwick::component {

// An argument's value as the log shows it.
inline std::string valueText(const Variant& value) {
    switch (value.type()) {
        case automation::VarType::Empty: return "";
        case automation::VarType::Null: return "Null";
        case automation::VarType::Array: return "(Array)";
        case automation::VarType::Object: return "(Object)";
        default: break;
    }
    try {
        return automation::toText(value);
    } catch (const automation::AutomationError&) {
        return "(" + std::string(automation::typeName(value.type())) + ")";
    }
}

struct Control::LoggedCall {
    std::string_view member;
    std::vector<std::pair<std::string_view, Variant>> arguments;
    // The argument that is a password, logged as "***"; none when npos.
    size_t password = std::string::npos;
    // The argument that names the site; CreateSite's site comes from its result.
    size_t site = std::string::npos;
    // When given, the line is written only if this flag is set after the call.
    const bool* onlyWhen = nullptr;

    // The arguments as the record and the log give them, the password masked.
    std::vector<std::pair<std::string, std::string>> shownArguments() const {
        std::vector<std::pair<std::string, std::string>> shown;
        for (size_t i = 0; i < arguments.size(); ++i) {
            shown.emplace_back(arguments[i].first, i == password ? std::string(kMaskedPassword)
                                                                 : valueText(arguments[i].second));
        }
        return shown;
    }
};

}  // namespace tarnwick::component
