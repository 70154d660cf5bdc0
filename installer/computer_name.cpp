#include "installer/computer_name.h"

#include <array>

namespace tarnwick::installer {

std::string TrimAtNull(std::string_view text) {
    return std::string(text.substr(0, text.find('\0')));
}

std::string GetLocalComputerName(SetupSystem& system) {
    std::array<char, 200> buffer{};
    uint32_t size = buffer.size();
    if (!system.GetComputerNameA(buffer.data(), &size)) return "";
    return TrimAtNull(system.ansi().toUtf8(std::string_view(buffer.data(), buffer.size())));
}

}  // namespace tarnwick::installer
