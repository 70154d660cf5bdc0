// Site bindings ("address:port:host name") and the rule by which two started
// sites may not share one.
//
// Two bindings collide when they have the same port, the same host name
// (ignoring case, as HTTP does) and the same address, where an empty address
// ("all unassigned") is an address of its own: a site on ":80:a.com" and one
// on "10.0.0.1:80:a.com" may both run, as IIS routes the specific address to
// the second and every other address to the first.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarnwick::platform::metabase {

// Views into the text it was parsed from, which must outlive it.
struct ServerBinding {
    std::string_view address;  // empty: all unassigned addresses
    uint16_t port = 0;
    std::string_view host;  // empty: any host name
};

// nullopt unless the text has exactly two ":" with a port from 1 to 65535
// between them. Sites are started among thousands of others, so this makes
// no copies.
std::optional<ServerBinding> parseServerBinding(std::string_view text);
bool bindingsCollide(const ServerBinding& a, const ServerBinding& b);

}  // namespace tarnwick::platform::metabase
