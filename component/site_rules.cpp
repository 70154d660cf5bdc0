#include "component/site_rules.h"

#include "automation/text.h"
#include "toolkit/site_folders.h"
#include "toolkit/steps.h"

namespace tarnwick::component {

using automation::Variant;
using toolkit::ifThen;
using toolkit::use;

namespace {
// The limit tests: a value that is no number takes the unlimited branch, and
// its failed conversion is recorded only where it counts as a failure.
template <class Test>
bool unlimited(automation::ErrorState& err, NonNumber nonNumber, Test&& test) {
    automation::ErrorState conversion;
    return ifThen(nonNumber == NonNumber::UnlimitedAndFailed ? err : conversion, test);
}
}  // namespace

std::optional<int64_t> siteNumberOf(const Variant& value) {
    constexpr int64_t kLargest = 4294967295;
    if (value.type() == automation::VarType::String) {
        const std::string& text = value.string();
        if (text.empty() || text.size() > 10) return std::nullopt;
        for (char c : text) {
            if (c < '0' || c > '9') return std::nullopt;
        }
        int64_t number = std::stoll(text);
        if (number < 1 || number > kLargest) return std::nullopt;
        return number;
    }
    if (value.type() == automation::VarType::Boolean || !value.isNumeric()) return std::nullopt;
    double number = automation::toNumber(value);
    if (!(number >= 1 && number <= static_cast<double>(kLargest))) return std::nullopt;
    if (number != static_cast<double>(static_cast<int64_t>(number))) return std::nullopt;
    return static_cast<int64_t>(number);
}

bool isDocumentList(const Variant& list) {
    std::string text;
    automation::ErrorState err;
    if (!err.attempt([&] { text = automation::toText(list); })) return false;
    for (const auto& name : automation::split(text, ",")) {
        auto trimmed = automation::trimBlanks(name);
        if (!trimmed.empty() && !toolkit::isPlainFileName(trimmed)) return false;
    }
    return true;
}

void writeBandwidth(automation::ErrorState& err, const automation::ObjectRef& site,
                    const Variant& band, NonNumber nonNumber) {
    if (unlimited(err, nonNumber, [&] {
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
                      const Variant& connections, NonNumber nonNumber) {
    if (unlimited(err, nonNumber, [&] { return automation::toNumber(connections) < 0; })) {
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

bool isHostName(std::string_view name) {
    constexpr size_t kLongestName = 253;
    constexpr size_t kLongestLabel = 63;
    if (name.empty() || name.size() > kLongestName) return false;
    for (const auto& label : automation::split(name, ".")) {
        if (label.empty() || label.size() > kLongestLabel) return false;
        if (label.front() == '-' || label.back() == '-') return false;
        for (char c : label) {
            const bool letterOrDigit =
                (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
            if (!letterOrDigit && c != '-') return false;
        }
    }
    return true;
}

bool bindsAnyOf(const Variant& bindings, const std::vector<std::string>& wanted) {
    for (const auto& entry : bindingEntries(bindings)) {
        for (const auto& binding : wanted) {
            if (automation::equalsIgnoreCase(entry, binding)) return true;
        }
    }
    return false;
}

}  // namespace tarnwick::component
