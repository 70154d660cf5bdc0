#include "platform/embedded/metabase/memory_storage.h"

#include <algorithm>
#include <stdexcept>

#include "automation/text.h"
#include "platform/embedded/metabase/key_path.h"

namespace tarnwick::platform::metabase {

namespace {
std::string lowered(std::string_view path) { return automation::toLowerAscii(path); }
}  // namespace

void MemoryMetabaseStorage::atomically(const std::function<void()>& change) {
    std::lock_guard lock(mutex_);
    State saved = state_;
    try {
        change();
    } catch (...) {
        state_ = std::move(saved);
        throw;
    }
}

MemoryMetabaseStorage::Entry* MemoryMetabaseStorage::entry(std::string_view path) {
    auto found = state_.keys.find(lowered(path));
    return found == state_.keys.end() ? nullptr : &found->second;
}

std::vector<KeyRecord> MemoryMetabaseStorage::inOrder(
    const std::function<bool(const Entry&)>& select) const {
    std::vector<const Entry*> selected;
    for (const auto& [path, candidate] : state_.keys) {
        if (select(candidate)) selected.push_back(&candidate);
    }
    std::sort(selected.begin(), selected.end(),
              [](const Entry* a, const Entry* b) { return a->sequence < b->sequence; });
    std::vector<KeyRecord> keys;
    for (const auto* selectedEntry : selected) keys.push_back(selectedEntry->key);
    return keys;
}

std::optional<KeyRecord> MemoryMetabaseStorage::findKey(std::string_view path) {
    std::lock_guard lock(mutex_);
    if (auto* found = entry(path)) return found->key;
    return std::nullopt;
}

std::vector<KeyRecord> MemoryMetabaseStorage::childKeys(std::string_view path) {
    std::lock_guard lock(mutex_);
    return inOrder([&](const Entry& candidate) {
        return automation::equalsIgnoreCase(parentKeyPath(candidate.key.path), path);
    });
}

std::vector<KeyRecord> MemoryMetabaseStorage::allKeys() {
    std::lock_guard lock(mutex_);
    return inOrder([](const Entry&) { return true; });
}

std::optional<PropertyValue> MemoryMetabaseStorage::property(std::string_view path,
                                                             std::string_view name) {
    std::lock_guard lock(mutex_);
    auto* found = entry(path);
    if (!found) return std::nullopt;
    auto value = found->properties.find(std::string(name));
    if (value == found->properties.end()) return std::nullopt;
    return value->second;
}

PropertyMap MemoryMetabaseStorage::properties(std::string_view path) {
    std::lock_guard lock(mutex_);
    auto* found = entry(path);
    return found ? found->properties : PropertyMap{};
}

void MemoryMetabaseStorage::insertKey(const KeyRecord& key) {
    std::lock_guard lock(mutex_);
    auto parent = parentKeyPath(key.path);
    if (entry(key.path) || (!automation::equalsIgnoreCase(parent, kMachineKey) && !entry(parent))) {
        throw std::logic_error("metabase key cannot be inserted: " + key.path);
    }
    state_.keys.emplace(lowered(key.path), Entry{key, {}, state_.nextSequence++});
}

void MemoryMetabaseStorage::setState(std::string_view path, uint32_t state) {
    std::lock_guard lock(mutex_);
    if (auto* found = entry(path)) found->key.state = state;
}

void MemoryMetabaseStorage::setKeyClass(std::string_view path, std::string_view keyClass) {
    std::lock_guard lock(mutex_);
    if (auto* found = entry(path)) found->key.keyClass = std::string(keyClass);
}

void MemoryMetabaseStorage::writeProperties(std::string_view path, const PropertyMap& values) {
    std::lock_guard lock(mutex_);
    auto* found = entry(path);
    if (!found) throw std::logic_error("no metabase key " + std::string(path));
    for (const auto& [name, value] : values) found->properties.insert_or_assign(name, value);
}

void MemoryMetabaseStorage::removeSubtree(std::string_view path) {
    std::lock_guard lock(mutex_);
    std::erase_if(state_.keys, [&](const auto& item) { return isWithin(item.first, path); });
    std::erase_if(state_.reservations,
                  [&](const auto& item) { return isWithin(item.first, path); });
}

void MemoryMetabaseStorage::removeAll() {
    std::lock_guard lock(mutex_);
    state_.keys.clear();
    state_.reservations.clear();
}

std::optional<Reservation> MemoryMetabaseStorage::reservation(std::string_view path) {
    std::lock_guard lock(mutex_);
    auto found = state_.reservations.find(lowered(path));
    if (found == state_.reservations.end()) return std::nullopt;
    return found->second;
}

void MemoryMetabaseStorage::addReservation(const Reservation& reservation) {
    std::lock_guard lock(mutex_);
    state_.reservations.insert_or_assign(lowered(reservation.path), reservation);
}

void MemoryMetabaseStorage::removeReservation(std::string_view path) {
    std::lock_guard lock(mutex_);
    state_.reservations.erase(lowered(path));
}

}  // namespace tarnwick::platform::metabase
