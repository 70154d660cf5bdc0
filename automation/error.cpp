#include "automation/error.h"

#include <cstdio>

namespace tarnwick::automation {

std::string_view standardDescription(int32_t number) {
    switch (number) {
        case errors::kInvalidProcedureCall: return "Invalid procedure call or argument";
        case errors::kOverflow: return "Overflow";
        case errors::kTypeMismatch: return "Type mismatch";
        case errors::kFileNotFound: return "File not found";
        case errors::kFileAlreadyExists: return "File already exists";
        case errors::kPermissionDenied: return "Permission denied";
        case errors::kPathNotFound: return "Path not found";
        case errors::kObjectNotSet: return "Object variable or With block variable not set";
        case errors::kInvalidUseOfNull: return "Invalid use of Null";
        case errors::kObjectRequired: return "Object required";
        case errors::kCannotCreateObject: return "ActiveX component can't create object";
        case errors::kMemberNotFound: return "Object doesn't support this property or method";
        case errors::kActionNotSupported: return "Object doesn't support this action";
        case errors::kWrongArgumentCount:
            return "Wrong number of arguments or invalid property assignment";
        case errors::kNotImplemented: return "Not implemented";
        case errors::kUnexpected: return "Catastrophic failure";
        default: return {};
    }
}

int32_t hresultOf(int32_t number) {
    if (number > 0 && number <= 0xFFFF) {
        return static_cast<int32_t>(0x800A0000u | static_cast<uint32_t>(number));
    }
    return number;
}

std::string hexNumber(int32_t number) {
    char text[16];
    std::snprintf(text, sizeof text, "%X", static_cast<uint32_t>(number));
    return text;
}

namespace {
std::string describe(int32_t number, std::string description) {
    if (!description.empty()) return description;
    auto standard = standardDescription(number);
    if (!standard.empty()) return std::string(standard);
    return "Automation error " + hexNumber(number);
}
}  // namespace

AutomationError::AutomationError(int32_t number, std::string description)
    : std::runtime_error(describe(number, description)),
      number_(number),
      description_(describe(number, std::move(description))) {}

void raise(int32_t number, std::string description) {
    throw AutomationError(number, std::move(description));
}

}  // namespace tarnwick::automation
