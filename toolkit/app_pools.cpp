#include "toolkit/app_pools.h"

#include "automation/text.h"
#include "toolkit/steps.h"

namespace tarnwick::toolkit {

bool isPoolName(std::string_view name) {
    constexpr size_t kLongestName = 255;
    if (name.empty() || name == "." || name == "..") return false;
    size_t characters = 0;
    for (unsigned char c : name) {
        if (c < 0x20 || c == 0x7F || c == '/' || c == '\\') return false;
        characters += (c & 0xC0) != 0x80;
    }
    return characters <= kLongestName;
}

void CreatePool(platform::Directory& directory, const ComputerName& computer,
                const automation::Variant& AppName) {
    automation::ErrorState err;
    auto name = err.attempt([&] { return automation::concatText(AppName); });
    if (!name || !isPoolName(*name)) return;
    auto pools = objectStep(err, [&] {
        return automation::Variant(directory.bind("IIS://" + computer() + "/W3SVC/AppPools"));
    });
    auto pool = objectStep(err, [&] {
        return use(pools).call("Create", {"IIsApplicationPool", AppName});
    });
    if (err.isSet()) return;
    err.attempt([&] { use(pool).call("SetInfo"); });
}

}  // namespace tarnwick::toolkit
