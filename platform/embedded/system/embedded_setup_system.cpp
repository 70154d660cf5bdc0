#include "platform/embedded/system/embedded_setup_system.h"

#include <cstring>

#include "automation/error.h"

namespace tarnwick::platform::embedded::system {

automation::ObjectRef EmbeddedSetupSystem::createObject(std::string_view progId) {
    auto object = objects_ ? objects_(progId) : nullptr;
    if (!object) {
        automation::raise(automation::errors::kCannotCreateObject,
                          "ActiveX component can't create object");
    }
    return object;
}

bool EmbeddedSetupSystem::GetComputerNameA(char* buffer, uint32_t* size) {
    auto name = system_->computerName();
    if (!name || !buffer || !size) return false;
    auto ansiName = services_.ansi->fromUtf8(*name);
    if (ansiName.size() + 1 > *size) {
        *size = static_cast<uint32_t>(ansiName.size() + 1);  // ERROR_BUFFER_OVERFLOW
        return false;
    }
    std::memcpy(buffer, ansiName.data(), ansiName.size());
    buffer[ansiName.size()] = '\0';
    *size = static_cast<uint32_t>(ansiName.size());
    return true;
}

bool EmbeddedSetupSystem::SQLConfigDataSource(void*, uint16_t request, const char* driver,
                                              const char* attributes) {
    if (!driver || !attributes) return false;
    // A list of NUL-terminated strings that ends with an empty one.
    std::vector<std::string> pairs;
    for (const char* pair = attributes; *pair; pair += std::strlen(pair) + 1) {
        pairs.push_back(services_.ansi->toUtf8(pair));
    }
    return system_->configDataSource(request, services_.ansi->toUtf8(driver), pairs);
}

}  // namespace tarnwick::platform::embedded::system
