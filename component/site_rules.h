// Rules that site creation and modification share: the two bindings of a
// site and the bandwidth and connection limits.
#pragma once

#include "automation/dispatch.h"
#include "automation/error.h"

namespace tarnwick::component {

// The value IIS takes for "no limit".
inline constexpr double kUnlimited = 4294967295.0;

// Writes MaxBandwidthBlocked and Maxbandwidth: `band` kilobytes per second
// from 0 to 1024, otherwise (or when `band` is not a number) unlimited.
void writeBandwidth(automation::ErrorState& err, const automation::ObjectRef& site,
                    const automation::Variant& band);
// Writes MaxConnections: `connections` as passed, unlimited when negative or
// not a number.
void writeConnections(automation::ErrorState& err, const automation::ObjectRef& site,
                      const automation::Variant& connections);

// The entries of a ServerBindings value as text (a single value counts as one entry).
std::vector<std::string> bindingEntries(const automation::Variant& bindings);

}  // namespace tarnwick::component
