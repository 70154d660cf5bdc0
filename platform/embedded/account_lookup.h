// Name and SID resolution of the local account database, for the security
// calls (LookupAccountNameA) and for showing DACLs. Resolves local users and
// groups, the built-in groups (Administrators S-1-5-32-544, Users -545,
// Guests -546) and the well-known principals (Everyone S-1-1-0, CREATOR
// OWNER S-1-3-0, SYSTEM S-1-5-18), ignoring case; "COMPUTER\name" and
// "BUILTIN\name" forms are accepted.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick::platform::embedded {

struct AccountIdentity {
    std::vector<uint8_t> sid;  // binary SID
    std::string domain;        // the computer's name, "BUILTIN" or "NT AUTHORITY"; "" for Everyone
    std::string name;          // as stored
    uint32_t use = 0;  // SID_NAME_USE: 1 user, 4 alias (local or built-in group), 5 well-known
};

class AccountLookup {
public:
    virtual ~AccountLookup() = default;
    virtual std::optional<AccountIdentity> lookupName(std::string_view name) = 0;
    virtual std::optional<AccountIdentity> lookupSid(const std::vector<uint8_t>& sid) = 0;
};

}  // namespace tarnwick::platform::embedded
