#include "platform/embedded/metabase/server_binding.h"

#include "automation/text.h"

namespace tarnwick::platform::metabase {

std::optional<ServerBinding> parseServerBinding(std::string_view text) {
    auto first = text.find(':');
    if (first == std::string_view::npos) return std::nullopt;
    auto second = text.find(':', first + 1);
    if (second == std::string_view::npos || text.find(':', second + 1) != std::string_view::npos) {
        return std::nullopt;
    }
    auto portText = text.substr(first + 1, second - first - 1);
    if (portText.empty() || portText.size() > 5) return std::nullopt;
    unsigned port = 0;
    for (char c : portText) {
        if (c < '0' || c > '9') return std::nullopt;
        port = port * 10 + static_cast<unsigned>(c - '0');
    }
    if (port == 0 || port > 65535) return std::nullopt;
    return ServerBinding{text.substr(0, first), static_cast<uint16_t>(port),
                         text.substr(second + 1)};
}

bool bindingsCollide(const ServerBinding& a, const ServerBinding& b) {
    return a.port == b.port && a.address == b.address &&
           automation::equalsIgnoreCase(a.host, b.host);
}

}  // namespace tarnwick::platform::metabase
