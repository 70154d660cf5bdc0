#include "platform/embedded/metabase/server_binding.h"

#include "automation/text.h"

namespace tarnwick::platform::metabase {

std::optional<ServerBinding> parseServerBinding(std::string_view text) {
    auto parts = automation::split(text, ":");
    if (parts.size() != 3 || parts[1].empty() || parts[1].size() > 5) return std::nullopt;
    unsigned port = 0;
    for (char c : parts[1]) {
        if (c < '0' || c > '9') return std::nullopt;
        port = port * 10 + static_cast<unsigned>(c - '0');
    }
    if (port == 0 || port > 65535) return std::nullopt;
    return ServerBinding{parts[0], static_cast<uint16_t>(port), parts[2]};
}

bool bindingsCollide(const ServerBinding& a, const ServerBinding& b) {
    return a.port == b.port && a.address == b.address &&
           automation::equalsIgnoreCase(a.host, b.host);
}

}  // namespace tarnwick::platform::metabase
