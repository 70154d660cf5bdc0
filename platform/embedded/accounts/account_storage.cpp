#include "platform/embedded/accounts/account_storage.h"

namespace tarnwick::platform::embedded {

std::string accountNameKey(std::string_view name) {
    std::string key(name);
    for (char& c : key) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    }
    return key;
}

}  // namespace tarnwick::platform::embedded
