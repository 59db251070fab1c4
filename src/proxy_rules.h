// Windows' proxy settings as Internet Options holds them, read as
// Microsoft documents them for WinHTTP and WinINet: which proxy an http URL
// goes through, and which hosts the bypass list sends past it.
#pragma once

#include <cstdint>
#include <string_view>

namespace detect {

// The entry of a proxy list that applies to http URLs. Entries are
// separated by semicolons or whitespace, each
// [<scheme>=][<scheme>"://"]<server>[":"<port>]; an "http=" entry applies,
// else the first entry that names no scheme. Empty where none applies.
std::string_view http_proxy_entry(std::string_view list);

// Whether the list holds a "socks=" entry: browsers send http through it
// where no other entry applies.
bool has_socks_entry(std::string_view list);

// An entry's server and port: "proxy:8080", "http://proxy" (port 80).
// port 0 where the port is not a number from 1 to 65535.
struct proxy_server {
    std::string_view host;
    std::uint16_t port = 0;
};
proxy_server server_of(std::string_view entry);

// Whether host is on the bypass list: entries separated by semicolons or
// whitespace, matched without regard to case, "*" standing for any run of
// characters; "<local>" matches every name without a period, so never an
// IPv4 address.
bool bypasses(std::string_view list, std::string_view host);

}  // namespace detect
