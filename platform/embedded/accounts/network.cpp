#include "platform/embedded/accounts/network.h"

#include "automation/error.h"
#include "automation/text.h"

namespace tarnwick::platform::embedded {

namespace {

using automation::InvokeKind;
using automation::Variant;
namespace errors = automation::errors;

class NetworkObject : public automation::Dispatch {
public:
    NetworkObject(std::function<std::string()> computerName, CallCheck check)
        : computerName_(std::move(computerName)), check_(std::move(check)) {}

    Variant invoke(std::string_view name, InvokeKind kind, std::span<Variant> args) override {
        for (std::string_view member : {"ComputerName", "UserName", "UserDomain"}) {
            if (!automation::equalsIgnoreCase(name, member)) continue;
            if (kind == InvokeKind::PropertyPut) break;
            if (!args.empty()) automation::raise(errors::kWrongArgumentCount);
            if (check_) check_(member, "WScript.Network");
            if (member == "UserName") return Variant("Administrator");
            return Variant(computerName_());
        }
        automation::raise(
            errors::kMemberNotFound,
            "Object doesn't support this property or method: '" + std::string(name) + "'");
    }

private:
    std::function<std::string()> computerName_;
    CallCheck check_;
};

}  // namespace

automation::ObjectRef makeNetworkObject(std::function<std::string()> computerName,
                                        CallCheck check) {
    return std::make_shared<NetworkObject>(std::move(computerName), std::move(check));
}

}  // namespace tarnwick::platform::embedded
