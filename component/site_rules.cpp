#include "component/site_rules.h"

#include "toolkit/steps.h"

namespace tarnwick::component {

using automation::Variant;
using toolkit::ifThen;
using toolkit::use;

void writeBandwidth(automation::ErrorState& err, const automation::ObjectRef& site,
                    const Variant& band) {
    if (ifThen(err, [&] {
            double value = automation::toNumber(band);
            return value < 0 || value > 1024;
        })) {
        err.attempt([&] { use(site).put("MaxBandwidthBlocked", true); });
        err.attempt([&] { use(site).put("Maxbandwidth", kUnlimited); });
    } else {
        err.attempt([&] { use(site).put("MaxBandwidthBlocked", false); });
        err.attempt([&] { use(site).put("Maxbandwidth", automation::toNumber(band) * 1024); });
    }
}

void writeConnections(automation::ErrorState& err, const automation::ObjectRef& site,
                      const Variant& connections) {
    if (ifThen(err, [&] { return automation::toNumber(connections) < 0; })) {
        err.attempt([&] { use(site).put("MaxConnections", kUnlimited); });
    } else {
        err.attempt([&] { use(site).put("MaxConnections", connections); });
    }
}

std::vector<std::string> bindingEntries(const Variant& bindings) {
    std::vector<std::string> entries;
    if (bindings.type() == automation::VarType::Array) {
        for (const auto& entry : bindings.array()) entries.push_back(automation::concatText(entry));
    } else {
        entries.push_back(automation::concatText(bindings));
    }
    return entries;
}

}  // namespace tarnwick::component
