#include "platform/embedded/files/security_document.h"

#include <cstdio>

#include "platform/embedded/files/hex.h"
#include "platform/embedded/files/sddl.h"

namespace tarnwick::platform::embedded::files {

namespace {

std::string controlText(uint16_t control) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", control);
    return text;
}

}  // namespace

nlohmann::json securityDocument(ByteView selfRelative) {
    nlohmann::json out = nlohmann::json::object();
    auto descriptor = parseSelfRelative(selfRelative);
    if (!descriptor) {
        out["security_hex"] = toHex(selfRelative);
        return out;
    }
    if (descriptor->owner) out["owner"] = sidToSddl(*descriptor->owner);
    if (descriptor->group) out["group"] = sidToSddl(*descriptor->group);
    out["control"] = controlText(descriptor->control);
    if (descriptor->daclPresent()) {
        out["dacl"] = daclToSddl(descriptor->dacl, descriptor->control);
        if (descriptor->dacl) out["dacl_hex"] = toHex(*descriptor->dacl);
    }
    return out;
}

}  // namespace tarnwick::platform::embedded::files
