#include "platform/embedded/metabase/storage.h"

namespace tarnwick::platform::metabase {

void MetabaseStorage::setKeyClass(std::string_view path, std::string_view keyClass) {
    struct Saved {
        KeyRecord key;
        PropertyMap properties;
    };
    // Parents before children, each child list in its own order.
    std::vector<Saved> subtree;
    auto key = findKey(path);
    if (!key) return;
    subtree.push_back({*key, properties(path)});
    for (size_t next = 0; next < subtree.size(); ++next) {
        for (auto& child : childKeys(subtree[next].key.path)) {
            auto childProperties = properties(child.path);
            subtree.push_back({std::move(child), std::move(childProperties)});
        }
    }
    subtree.front().key.keyClass = std::string(keyClass);
    removeSubtree(path);
    for (const auto& saved : subtree) {
        insertKey(saved.key);
        writeProperties(saved.key.path, saved.properties);
    }
}

}  // namespace tarnwick::platform::metabase
