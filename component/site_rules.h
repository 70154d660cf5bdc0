// Rules that site creation and modification share: the two bindings of a
// site and the bandwidth and connection limits.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "automation/dispatch.h"
#include "automation/error.h"

namespace tarnwick::component {

// The value IIS takes for "no limit".
inline constexpr double kUnlimited = 4294967295.0;

// What a limit that is not a number means: unlimited for a new site; for a
// change, unlimited too, but the failed range test is recorded in the error
// state, so that the change is refused.
enum class NonNumber { Unlimited, UnlimitedAndFailed };

// Writes MaxBandwidthBlocked and Maxbandwidth: `band` kilobytes per second
// from 0 to 1024, otherwise (or when `band` is not a number) unlimited.
void writeBandwidth(automation::ErrorState& err, const automation::ObjectRef& site,
                    const automation::Variant& band, NonNumber nonNumber);
// Writes MaxConnections: `connections` as passed, unlimited when negative or
// not a number.
void writeConnections(automation::ErrorState& err, const automation::ObjectRef& site,
                      const automation::Variant& connections, NonNumber nonNumber);

// The site number a page passed: a whole number from 1 to 4294967295, given
// as a number or as text of decimal digits. Anything else (a sign, blanks,
// a fraction, a path such as "1/ROOT" or "AppPools") names no site.
std::optional<int64_t> siteNumberOf(const automation::Variant& value);

// True when every name of a comma-separated default-document list, without
// its blanks, is empty or a plain file name: the names are files inside the
// site's folder, never a path that leads out of it.
bool isDocumentList(const automation::Variant& list);

// The entries of a ServerBindings value as text (a single value counts as one entry).
std::vector<std::string> bindingEntries(const automation::Variant& bindings);

// True when `name` is a host name a Host header can carry and IIS can match:
// labels of ASCII letters, digits and "-" (not first or last), 1 to 63
// characters each, joined by single dots, at most 253 characters in all.
// A name in other letters must be given in its ASCII (xn--) form.
bool isHostName(std::string_view name);

// True when a ServerBindings value holds one of `wanted`. Host names compare
// ignoring case, as IIS matches them; address and port as written.
bool bindsAnyOf(const automation::Variant& bindings, const std::vector<std::string>& wanted);

}  // namespace tarnwick::component
