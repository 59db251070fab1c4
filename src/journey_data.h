// What the probe measured after the hand-off: the program that opens http
// URLs, the proxy settings a browser follows, and the page itself, asked
// directly and through that proxy. Plain data, read by the verdict and the
// report.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "http_head.h"
#include "net.h"

namespace detect {

// Each exchange's bounds: to connect, then for the head, from the request
// sent; never a body, never a redirect followed.
inline constexpr long page_connect_microseconds = 3000000;
inline constexpr long page_head_microseconds = 3000000;
inline constexpr std::uint16_t http_port = 80;

// Room for a setting's or a program's text, UTF-8 or a desktop's bytes.
inline constexpr std::size_t setting_size = 512;
using setting_text = std::array<char, setting_size>;

enum class exchange_end : unsigned char {
    not_made,
    no_socket,        // error: no TCP socket
    connect_failed,   // error: refused, reset, unreachable, or net::timed_out
    send_failed,      // error
    receive_failed,   // error
    head_timed_out,   // connected and asked; the head had not ended in time
    closed,           // the other end closed before the head ended
    answered,         // bytes came that end or bound the head: see head
};

// One GET and what came back of it, up to the head's end.
struct page_exchange {
    exchange_end end = exchange_end::not_made;
    net::error_code error = 0;
    long connect_ms = 0;
    std::array<char, head_capacity> bytes{};
    std::size_t size = 0;
    http_head head;  // read from bytes
};

// Windows tells why it could not find the program by an HRESULT, Linux
// by errno.
#ifdef _WIN32
inline constexpr bool program_error_is_hresult = true;
#else
inline constexpr bool program_error_is_hresult = false;
#endif

// The program the system starts for an http URL.
struct http_program {
    bool none = false;           // none is registered
    net::error_code error = 0;   // it could not be told
    int helper_status = 0;       // Linux: xdg-mime ended with this status, not 0
    setting_text name{};         // its name as the desktop shows it
    setting_text executable{};   // its program file, where the platform names it
};

// The proxy settings that Edge and Chrome follow by default (Internet
// Options), and what their script named for the page's URL.
struct proxy_settings {
    bool read = false;           // false: not read on this platform
    net::error_code error = 0;   // why they could not be read
    bool auto_detect = false;
    setting_text script_url{};   // the PAC file's address, where one is set
    setting_text fixed{};        // the proxy list, where a fixed proxy is set
    setting_text bypass{};       // its bypass list
    bool script_run = false;     // auto-detect or the PAC file was asked for the URL
    net::error_code script_error = 0;  // and failed: browsers then go on without it
    setting_text script_proxy{};  // the proxy list it named; empty for DIRECT
};

// How a browser reaches the page, by those settings.
enum class proxy_way : unsigned char {
    not_read,    // Linux: the desktop's own settings, which the probe does not read
    unreadable,  // the settings could not be read
    direct,      // no proxy applies to the URL
    bypassed,    // a fixed proxy, but its bypass list holds the address
    fixed,       // the fixed proxy applies
    script,      // the script named a proxy
    socks,       // a SOCKS proxy alone applies: not asked through
};

// Whether the page is asked through a proxy as well: one that applies and
// speaks http.
constexpr bool goes_through_proxy(proxy_way way) { return way == proxy_way::fixed || way == proxy_way::script; }

struct page_journey {
    std::uint32_t address = 0;  // the page's host; 0: no page would open, nothing asked
    http_program program;
    proxy_settings proxy;
    proxy_way way = proxy_way::not_read;
    setting_text proxy_used{};       // the entry that applies: fixed, script
    net::error_code resolve_error = 0;  // the proxy's name could not be resolved
    page_exchange direct;            // to port 80 of address, through no proxy
    page_exchange through;           // the same page through proxy_used
};

}  // namespace detect
