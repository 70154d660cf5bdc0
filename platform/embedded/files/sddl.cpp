#include "platform/embedded/files/sddl.h"

#include <cstdio>

#include "automation/text.h"

namespace tarnwick::platform::embedded::files {

namespace {

struct SidAlias {
    const char* alias;
    const char* sid;
};

constexpr SidAlias kSidAliases[] = {
    {"WD", "S-1-1-0"},      {"CO", "S-1-3-0"},      {"CG", "S-1-3-1"},      {"NU", "S-1-5-2"},
    {"IU", "S-1-5-4"},      {"SU", "S-1-5-6"},      {"AN", "S-1-5-7"},      {"PS", "S-1-5-10"},
    {"AU", "S-1-5-11"},     {"RC", "S-1-5-12"},     {"SY", "S-1-5-18"},     {"LS", "S-1-5-19"},
    {"NS", "S-1-5-20"},     {"BA", "S-1-5-32-544"}, {"BU", "S-1-5-32-545"}, {"BG", "S-1-5-32-546"},
    {"PU", "S-1-5-32-547"}, {"AO", "S-1-5-32-548"}, {"SO", "S-1-5-32-549"}, {"PO", "S-1-5-32-550"},
    {"BO", "S-1-5-32-551"}, {"RE", "S-1-5-32-552"}, {"RU", "S-1-5-32-554"}, {"RD", "S-1-5-32-555"},
    {"NO", "S-1-5-32-556"},
};

struct RightName {
    const char* name;
    uint32_t mask;
};

// Whole-mask aliases, tried first.
constexpr RightName kRightAliases[] = {
    {"FA", access::kFileAllAccess},
    {"FR", access::kFileGenericRead},
    {"FW", access::kFileGenericWrite},
    {"FX", access::kFileGenericExecute},
};

// Single rights, in the order they are written.
constexpr RightName kRightBits[] = {
    {"GA", 0x10000000}, {"GR", 0x80000000}, {"GW", 0x40000000}, {"GX", 0x20000000},
    {"CC", 0x00000001}, {"DC", 0x00000002}, {"LC", 0x00000004}, {"SW", 0x00000008},
    {"RP", 0x00000010}, {"WP", 0x00000020}, {"DT", 0x00000040}, {"LO", 0x00000080},
    {"CR", 0x00000100}, {"SD", 0x00010000}, {"RC", 0x00020000}, {"WD", 0x00040000},
    {"WO", 0x00080000},
};

struct FlagName {
    const char* name;
    uint8_t flag;
};

constexpr FlagName kAceFlags[] = {
    {"OI", 0x01}, {"CI", 0x02}, {"NP", 0x04}, {"IO", 0x08},
    {"ID", 0x10}, {"SA", 0x40}, {"FA", 0x80},
};

struct ControlName {
    const char* name;
    uint16_t bit;
};

constexpr ControlName kControlFlags[] = {
    {"P", control::kDaclProtected},
    {"AR", control::kDaclAutoInheritRequired},
    {"AI", control::kDaclAutoInherited},
};

std::string hexMask(uint32_t mask) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", mask);
    return text;
}

std::string rightsToSddl(uint32_t mask) {
    for (const auto& alias : kRightAliases) {
        if (alias.mask == mask) return alias.name;
    }
    std::string text;
    uint32_t covered = 0;
    for (const auto& right : kRightBits) {
        if (mask & right.mask) {
            text += right.name;
            covered |= right.mask;
        }
    }
    if (covered != mask || mask == 0) return hexMask(mask);
    return text;
}

std::optional<uint32_t> rightsFromSddl(std::string_view text) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        uint32_t mask = 0;
        for (char c : text.substr(2)) {
            uint32_t digit;
            if (c >= '0' && c <= '9')
                digit = static_cast<uint32_t>(c - '0');
            else if (c >= 'a' && c <= 'f')
                digit = static_cast<uint32_t>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                digit = static_cast<uint32_t>(c - 'A' + 10);
            else
                return std::nullopt;
            if (mask > 0x0FFFFFFF) return std::nullopt;
            mask = mask * 16 + digit;
        }
        return mask;
    }
    if (text.size() % 2 != 0) return std::nullopt;
    uint32_t mask = 0;
    for (size_t at = 0; at < text.size(); at += 2) {
        auto name = text.substr(at, 2);
        bool known = false;
        for (const auto& alias : kRightAliases) {
            if (name == alias.name) {
                mask |= alias.mask;
                known = true;
            }
        }
        for (const auto& right : kRightBits) {
            if (name == right.name) {
                mask |= right.mask;
                known = true;
            }
        }
        if (!known) return std::nullopt;
    }
    return mask;
}

std::string flagsToSddl(uint8_t flags) {
    std::string text;
    uint8_t covered = 0;
    for (const auto& flag : kAceFlags) {
        if (flags & flag.flag) {
            text += flag.name;
            covered |= flag.flag;
        }
    }
    if (covered != flags) text += hexMask(flags & ~covered);
    return text;
}

std::optional<uint8_t> flagsFromSddl(std::string_view text) {
    if (text.size() % 2 != 0) return std::nullopt;
    uint8_t flags = 0;
    for (size_t at = 0; at < text.size(); at += 2) {
        auto name = text.substr(at, 2);
        bool known = false;
        for (const auto& flag : kAceFlags) {
            if (name == flag.name) {
                flags |= flag.flag;
                known = true;
            }
        }
        if (!known) return std::nullopt;
    }
    return flags;
}

std::string aceToSddl(const Ace& ace) {
    std::string type = ace.type == 0 ? "A" : ace.type == 1 ? "D" : hexMask(ace.type);
    if (ace.type > 1) return "(" + type + ";" + flagsToSddl(ace.flags) + ";;;;)";
    return "(" + type + ";" + flagsToSddl(ace.flags) + ";" + rightsToSddl(ace.mask) + ";;;" +
           sidToSddl(ace.sid) + ")";
}

}  // namespace

std::string sidToSddl(ByteView sid) {
    auto text = sidToString(sid);
    for (const auto& alias : kSidAliases) {
        if (text == alias.sid) return alias.alias;
    }
    return text;
}

std::optional<Bytes> sidFromSddl(std::string_view text) {
    for (const auto& alias : kSidAliases) {
        if (automation::equalsIgnoreCase(text, alias.alias)) return sidFromString(alias.sid);
    }
    return sidFromString(text);
}

std::string daclToSddl(const std::optional<Bytes>& dacl, uint16_t controlBits) {
    std::string text = "D:";
    for (const auto& flag : kControlFlags) {
        if (controlBits & flag.bit) text += flag.name;
    }
    if (!dacl) return text + "NO_ACCESS_CONTROL";
    auto acl = parseAcl(*dacl);
    if (!acl) return text + "(invalid ACL)";
    for (const auto& ace : acl->aces) text += aceToSddl(ace);
    return text;
}

std::optional<SddlDacl> daclFromSddl(std::string_view text, std::string& error) {
    if (text.substr(0, 2) != "D:") {
        error = "a DACL string starts with \"D:\"";
        return std::nullopt;
    }
    SddlDacl result;
    size_t at = 2;
    while (at < text.size() && text[at] != '(') {
        bool known = false;
        for (const auto& flag : kControlFlags) {
            auto name = std::string_view(flag.name);
            if (text.substr(at, name.size()) == name) {
                result.controlBits |= flag.bit;
                at += name.size();
                known = true;
                break;
            }
        }
        if (known) continue;
        if (text.substr(at) == "NO_ACCESS_CONTROL") return result;
        error = "unknown DACL flag at \"" + std::string(text.substr(at)) + "\"";
        return std::nullopt;
    }
    Acl acl;
    while (at < text.size()) {
        auto close = text.find(')', at);
        if (text[at] != '(' || close == std::string_view::npos) {
            error = "an entry is written \"(type;flags;rights;;;trustee)\"";
            return std::nullopt;
        }
        auto fields = automation::split(text.substr(at + 1, close - at - 1), ";");
        at = close + 1;
        if (fields.size() != 6) {
            error = "an entry has six fields separated by \";\"";
            return std::nullopt;
        }
        Ace ace;
        if (fields[0] == "A")
            ace.type = 0;
        else if (fields[0] == "D")
            ace.type = 1;
        else {
            error = "unknown entry type \"" + fields[0] + "\" (A or D)";
            return std::nullopt;
        }
        auto flags = flagsFromSddl(fields[1]);
        auto rights = rightsFromSddl(fields[2]);
        auto sid = sidFromSddl(fields[5]);
        error.clear();
        if (!flags)
            error = "unknown entry flags \"" + fields[1] + "\"";
        else if (!rights)
            error = "unknown rights \"" + fields[2] + "\"";
        else if (!fields[3].empty() || !fields[4].empty())
            error = "object entries are not supported";
        else if (!sid)
            error = "unknown trustee \"" + fields[5] + "\"";
        if (!error.empty()) return std::nullopt;
        ace.flags = *flags;
        ace.mask = *rights;
        ace.sid = std::move(*sid);
        acl.aces.push_back(std::move(ace));
    }
    result.dacl = serializeAcl(acl);
    return result;
}

}  // namespace tarnwick::platform::embedded::files
