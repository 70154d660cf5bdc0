#include "toolkit/app_pools.h"

#include "toolkit/steps.h"

namespace tarnwick::toolkit {

void CreatePool(platform::Directory& directory, const ComputerName& computer,
                const automation::Variant& AppName) {
    automation::ErrorState err;
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
