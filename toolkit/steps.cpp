#include "toolkit/steps.h"

namespace tarnwick::toolkit {

std::vector<automation::ObjectRef> childrenOf(automation::Dispatch& container) {
    auto children = container.get("Children");
    std::vector<automation::ObjectRef> objects;
    if (children.type() != automation::VarType::Array) {
        automation::raise(automation::errors::kTypeMismatch);
    }
    for (const auto& child : children.array()) {
        if (child.type() == automation::VarType::Object && child.object()) {
            objects.push_back(child.object());
        }
    }
    return objects;
}

}  // namespace tarnwick::toolkit
