// The principals every Windows system knows by name and SID without
// storing them: Everyone, CREATOR OWNER, SYSTEM and the other well-known
// groups. They resolve by lookup only; they are not accounts.
#pragma once

#include <optional>
#include <span>
#include <string_view>

#include "platform/embedded/accounts/sid.h"

namespace tarnwick::platform::embedded {

struct WellKnownPrincipal {
    std::string_view name;
    std::string_view domain;  // "NT AUTHORITY", or "" for the universal ones
    Sid sid;
};

std::span<const WellKnownPrincipal> wellKnownPrincipals();
// By name, ignoring case; with a domain ("NT AUTHORITY" for "NT AUTHORITY\SYSTEM") the
// domain must match too.
const WellKnownPrincipal* findWellKnown(std::optional<std::string_view> domain,
                                        std::string_view name);
const WellKnownPrincipal* findWellKnown(const Sid& sid);

}  // namespace tarnwick::platform::embedded
