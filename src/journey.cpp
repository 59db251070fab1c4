// The page asked as a browser would ask it, with bounds at every step: its
// bytes come from whoever answers on the network.
#include "journey.h"

#include <algorithm>
#include <cstring>

#include "browser.h"
#include "ipv4_text.h"
#include "probe_verdict.h"
#include "proxy_rules.h"
#include "text_line.h"
#include "utf8.h"

namespace detect {

std::uint32_t page_host(const probe_report& report) {
    if (report.outcome == probe_outcome::opens_page) {
        return report.senders[0].address;
    }
    const probe_sender* own = sender_at(report.direct.listed(), report.direct.address);
    return own != nullptr && own->verdict == reply_verdict::accepted ? report.direct.address : 0;
}

proxy_choice choose_proxy(const proxy_settings& settings, std::string_view host) {
    if (!settings.read || settings.error != 0) {
        return {settings.read ? proxy_way::unreadable : proxy_way::not_read, {}};
    }
    // A script that ran decides; one that failed leaves the fixed proxy,
    // as browsers fall back to it.
    if (settings.script_run && settings.script_error == 0) {
        const std::string_view entry = http_proxy_entry(settings.script_proxy.data());
        return {entry.empty() ? proxy_way::direct : proxy_way::script, entry};
    }
    const std::string_view fixed = settings.fixed.data();
    const std::string_view entry = http_proxy_entry(fixed);
    if (entry.empty()) {
        return {has_socks_entry(fixed) ? proxy_way::socks : proxy_way::direct, {}};
    }
    return {bypasses(settings.bypass.data(), host) ? proxy_way::bypassed : proxy_way::fixed, entry};
}

namespace {

// Reads the answer until its head ends, overflows or is no HTTP, within
// the head's time.
void read_head(net::socket_handle socket, page_exchange& exchange) {
    const std::int64_t deadline = net::monotonic_microseconds() + page_head_microseconds;
    for (;;) {
        exchange.head = read_http_head({exchange.bytes.data(), exchange.size});
        if (exchange.head.state != head_state::incomplete) {
            exchange.end = exchange_end::answered;
            return;
        }
        const std::int64_t left = deadline - net::monotonic_microseconds();
        const int ready = left <= 0 ? 0 : net::wait_until_readable(socket, static_cast<long>(left));
        const long got = ready <= 0 ? 0
                                    : net::receive_bytes(socket, exchange.bytes.data() + exchange.size,
                                                         exchange.bytes.size() - exchange.size);
        if (ready == 0) {
            exchange.end = exchange_end::head_timed_out;
            return;
        }
        if (ready < 0 || got < 0) {
            exchange.end = exchange_end::receive_failed;
            exchange.error = net::last_error();
            return;
        }
        if (got == 0) {
            exchange.end = exchange_end::closed;
            return;
        }
        exchange.size += static_cast<std::size_t>(got);
    }
}

}  // namespace

page_exchange ask_page(net::ipv4_endpoint destination, std::string_view request) {
    page_exchange exchange;
    const net::socket_guard socket{net::open_tcp_socket()};
    if (socket.get() == net::invalid_socket) {
        exchange.end = exchange_end::no_socket;
        exchange.error = net::last_error();
        return exchange;
    }
    const std::int64_t start = net::monotonic_microseconds();
    exchange.error = net::connect_within(socket.get(), destination, page_connect_microseconds);
    if (exchange.error != 0) {
        exchange.end = exchange_end::connect_failed;
        return exchange;
    }
    exchange.connect_ms = static_cast<long>((net::monotonic_microseconds() - start + 999) / 1000);
    if (!net::send_bytes(socket.get(), request.data(), request.size())) {
        exchange.end = exchange_end::send_failed;
        exchange.error = net::last_error();
        return exchange;
    }
    read_head(socket.get(), exchange);
    return exchange;
}

page_journey follow_hand_off(const probe_report& report) {
    page_journey journey;
    journey.address = page_host(report);
    if (journey.address == 0) {
        return journey;
    }
    const dotted_text host{journey.address};
    text_line url;
    add(url, "http://", host.text, "/");
    journey.program = browser::find_http_program();
    journey.proxy = browser::read_proxy_settings(url.text.data());
    // As a browser sends it, with nothing that names this PC or its user.
    text_line request;
    add(request, "GET / HTTP/1.1\r\nHost: ", host.text, "\r\nConnection: close\r\n\r\n");
    journey.direct = ask_page({journey.address, http_port}, request.view());
    const proxy_choice choice = choose_proxy(journey.proxy, host.text);
    journey.way = choice.way;
    copy_whole_characters(choice.entry, journey.proxy_used);
    if (!goes_through_proxy(choice.way)) {
        return journey;
    }
    const proxy_server server = server_of(choice.entry);
    // The host's name, NUL-terminated, cut where it is longer than any name.
    char name[256] = {};
    copy_whole_characters(server.host, name);
    std::uint32_t proxy_address = 0;
    // An entry without a usable port is shown as it stands, and not asked.
    journey.resolve_error = server.port == 0 ? 0 : net::resolve_ipv4(name, proxy_address);
    if (server.port != 0 && journey.resolve_error == 0) {
        text_line through_proxy;
        add(through_proxy, "GET ", url.view(), " HTTP/1.1\r\nHost: ", host.text, "\r\nConnection: close\r\n\r\n");
        journey.through = ask_page({proxy_address, server.port}, through_proxy.view());
    }
    return journey;
}

page_finding judge_exchange(const page_exchange& exchange) {
    switch (exchange.end) {
    case exchange_end::not_made: return page_finding::not_asked;
    case exchange_end::connect_failed:
        return exchange.error == net::timed_out ? page_finding::no_connection
               : exchange.error == net::connection_refused ? page_finding::refused
                                                       : page_finding::unreachable;
    case exchange_end::no_socket:
    case exchange_end::send_failed: return page_finding::unreachable;
    case exchange_end::head_timed_out:
    case exchange_end::receive_failed: return page_finding::silent;
    case exchange_end::closed: return page_finding::not_http;
    case exchange_end::answered: break;
    }
    if (exchange.head.state != head_state::complete) {
        return page_finding::not_http;
    }
    return exchange.head.code / 100 == 3 && exchange.head.location_size > 0 ? page_finding::redirects
                                                                             : page_finding::answers;
}

page_verdict judge_page(const page_journey& page) {
    page_verdict verdict;
    if (page.address != 0) {
        verdict.way = page.way;
        verdict.no_program = page.program.none;
        verdict.direct_page = judge_exchange(page.direct);
        verdict.page = goes_through_proxy(page.way) ? judge_exchange(page.through) : verdict.direct_page;
    }
    return verdict;
}

}  // namespace detect
