#include "platform/embedded/accounts/well_known.h"

#include <vector>

#include "automation/text.h"

namespace tarnwick::platform::embedded {

namespace {
Sid ntAuthority(uint32_t rid) { return Sid{Sid::kRevision, 5, {rid}}; }
}  // namespace

std::span<const WellKnownPrincipal> wellKnownPrincipals() {
    static const std::vector<WellKnownPrincipal> principals = {
        {"Everyone", "", well_known_sids::everyone()},
        {"CREATOR OWNER", "", well_known_sids::creatorOwner()},
        {"CREATOR GROUP", "", well_known_sids::creatorGroup()},
        {"NETWORK", "NT AUTHORITY", ntAuthority(2)},
        {"INTERACTIVE", "NT AUTHORITY", ntAuthority(4)},
        {"SERVICE", "NT AUTHORITY", ntAuthority(6)},
        {"ANONYMOUS LOGON", "NT AUTHORITY", ntAuthority(7)},
        {"Authenticated Users", "NT AUTHORITY", ntAuthority(11)},
        {"SYSTEM", "NT AUTHORITY", well_known_sids::localSystem()},
        {"LOCAL SERVICE", "NT AUTHORITY", ntAuthority(19)},
        {"NETWORK SERVICE", "NT AUTHORITY", ntAuthority(20)},
    };
    return principals;
}

const WellKnownPrincipal* findWellKnown(std::optional<std::string_view> domain,
                                        std::string_view name) {
    for (const auto& principal : wellKnownPrincipals()) {
        if (automation::equalsIgnoreCase(principal.name, name) &&
            (!domain || automation::equalsIgnoreCase(principal.domain, *domain))) {
            return &principal;
        }
    }
    return nullptr;
}

const WellKnownPrincipal* findWellKnown(const Sid& sid) {
    for (const auto& principal : wellKnownPrincipals()) {
        if (principal.sid == sid) return &principal;
    }
    return nullptr;
}

}  // namespace tarnwick::platform::embedded
