// The journey to the page: after discovery, the probe follows the
// launcher's hand-off as far as the page's head, through the program that
// would open it and the proxy a browser would take.
#pragma once

#include <string_view>

#include "journey_data.h"
#include "probe_data.h"

namespace detect {

// What one exchange with a web server tells of the page.
enum class page_finding : unsigned char {
    not_asked,      // no page would open, or no exchange was made
    answers,        // a status line came, and its headers
    redirects,      // the same, 3xx with a Location: not followed
    refused,        // the connection was refused
    no_connection,  // no connection within the bound
    unreachable,    // no connection for another reason, or the request could not be sent
    silent,         // connected and asked: no whole head within the bound, or a receive failed
    not_http,       // what came is no HTTP head, or it ended or overflowed before its end
};

// What the journey tells: what the browser's way gave (through the proxy
// where one applies), and the page asked directly.
struct page_verdict {
    page_finding page = page_finding::not_asked;
    page_finding direct_page = page_finding::not_asked;
    proxy_way way = proxy_way::not_read;
    bool no_program = false;  // none is registered for http URLs
};

// The page's host: the sender the launcher would open; else, where the
// launcher would show the box, the address asked directly when it
// answered with an accepted datagram (typed into a browser, its page may
// still load); else none (0).
std::uint32_t page_host(const probe_report& report);

// How a browser reaches http://host/ by these settings, and the proxy
// entry it goes through (fixed, script), pointing into settings.
struct proxy_choice {
    proxy_way way = proxy_way::not_read;
    std::string_view entry;
};
proxy_choice choose_proxy(const proxy_settings& settings, std::string_view host);

// One GET for the page to destination, as request, through a connection
// of its own, read up to the head's end within the bounds.
page_exchange ask_page(net::ipv4_endpoint destination, std::string_view request);

// Follows the hand-off: the program for http, the proxy, the page asked
// directly and, where a proxy applies, through it. Asks nothing where
// no page would open. The network stack must have been started.
page_journey follow_hand_off(const probe_report& report);

// What one exchange with a web server tells.
page_finding judge_exchange(const page_exchange& exchange);

// What the journey tells, from its measurements alone.
page_verdict judge_page(const page_journey& page);

}  // namespace detect
