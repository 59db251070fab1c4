// The page's section and sentence. Every byte of a server's answer, a
// proxy setting or a program's name is escaped, and each is cut to a
// bound, so that the line stays within a fleet tool's 2,048 characters.
#include "journey_report.h"

#include <algorithm>
#include <string_view>

#include "ipv4_text.h"
#include "probe_report.h"
#include "proxy_rules.h"
#include "report_rows.h"

namespace detect {
namespace {

constexpr std::size_t shown_status = 60;
constexpr std::size_t shown_location = 100;
constexpr std::size_t shown_setting = 120;
constexpr std::size_t shown_bytes = 40;

// No substr() here or in the parsers: it may throw, which would bring the
// runtime's exception machinery into the exe.

// "text", escaped and cut to at most size bytes, "..." where it was cut.
void add_quoted(text_line& line, std::string_view text, std::size_t size) {
    add(line, "\"", escape_text({text.data(), std::min(size, text.size())}, false).view(),
        text.size() > size ? "...\"" : "\"");
}

std::string_view bytes_of(const page_exchange& exchange) { return {exchange.bytes.data(), exchange.size}; }

std::string_view status_line(const page_exchange& exchange) {
    return {exchange.bytes.data(), std::min(exchange.head.status_size, exchange.size)};
}

// Within the bytes read, whatever the head says.
std::string_view location(const page_exchange& exchange) {
    const std::size_t at = std::min(exchange.head.location_at, exchange.size);
    return {exchange.bytes.data() + at, std::min(exchange.head.location_size, exchange.size - at)};
}

constexpr unsigned long bound_ms(long microseconds) { return static_cast<unsigned long>(microseconds / 1000); }

void add_exchange(text_line& line, const page_exchange& exchange) {
    if (exchange.end == exchange_end::no_socket || exchange.end == exchange_end::connect_failed) {
        add(line, exchange.end == exchange_end::no_socket ? "no TCP socket: " : "no connection: ");
        add(line, exchange.error == net::timed_out ? "none within " : "",
            exchange.error == net::timed_out ? decimal_text(bound_ms(page_connect_microseconds)).text : "",
            exchange.error == net::timed_out ? " ms, " : "");
        add(line, error_text(exchange.error).view());
        return;
    }
    add(line, "connected after ", decimal_text(static_cast<unsigned long>(exchange.connect_ms)).text, " ms; ");
    const head_state state = exchange.head.state;
    if (exchange.end == exchange_end::send_failed || exchange.end == exchange_end::receive_failed) {
        add(line, exchange.end == exchange_end::send_failed ? "the request could not be sent: "
                                                            : "the answer could not be read: ",
            error_text(exchange.error).view());
    } else if (state == head_state::complete) {
        add_quoted(line, status_line(exchange), shown_setting);
        if (exchange.head.location_size > 0) {
            add(line, ", Location ");
            add_quoted(line, location(exchange), shown_setting);
        }
    } else if (exchange.end == exchange_end::head_timed_out || exchange.end == exchange_end::closed) {
        add(line, exchange.end == exchange_end::closed ? "closed before the head ended, " : "no whole head within ",
            exchange.end == exchange_end::closed ? "" : decimal_text(bound_ms(page_head_microseconds)).text,
            exchange.end == exchange_end::closed ? "after " : " ms; ", decimal_text(exchange.size).text, " byte",
            plural(exchange.size), " came");
    } else {
        add(line, state == head_state::too_long ? "no end of the head within " : "not an HTTP answer, ",
            state == head_state::too_long ? decimal_text(head_capacity).text : "",
            state == head_state::too_long ? " bytes, " : "", "first bytes ");
        add_quoted(line, bytes_of(exchange), shown_bytes);
    }
}

void add_setting(text_line& line, std::string_view name, const setting_text& value) {
    add(line, name);
    if (value[0] == '\0') {
        add(line, "none");
    } else {
        add_quoted(line, value.data(), shown_setting);
    }
}

void print_proxy(std::FILE* out, const page_journey& page) {
    text_line line;
    const proxy_settings& settings = page.proxy;
    if (!settings.read) {
        add(line, "  Proxy: not read: browsers on Linux follow the desktop's own proxy settings");
    } else if (settings.error != 0) {
        add(line, "  Proxy: Internet Options could not be read: ", error_text(settings.error).view());
    } else {
        add(line, "  Proxy, as Internet Options set it: detect automatically: ", settings.auto_detect ? "on" : "off");
        add_setting(line, "; script: ", settings.script_url);
        add_setting(line, "; proxy server: ", settings.fixed);
        add_setting(line, "; bypass: ", settings.bypass);
        if (settings.script_run) {
            add(line, "\n  The script, asked for this page: ");
            if (settings.script_error != 0) {
                add(line, "no answer: ", error_text(settings.script_error).view());
            } else {
                add_setting(line, "", settings.script_proxy);
                add(line, settings.script_proxy[0] == '\0' ? " (direct)" : "");
            }
        }
        add(line, "\n  A browser goes ");
        switch (page.way) {
        case proxy_way::fixed:
        case proxy_way::script: add(line, "through the proxy "); break;
        case proxy_way::bypassed: add(line, "directly, as the bypass list holds the address, past "); break;
        case proxy_way::socks: add(line, "through a SOCKS proxy, which the probe does not ask through"); break;
        default: add(line, "directly"); break;
        }
        if (goes_through_proxy(page.way) || page.way == proxy_way::bypassed) {
            add_quoted(line, page.proxy_used.data(), shown_setting);
        }
    }
    print(out, line);
}

// What the finding says of a web server or a proxy, from the exchange's
// own facts.
void add_state(text_line& line, page_finding finding, const page_exchange& exchange, std::uint16_t port) {
    const decimal_text port_text{port};
    switch (finding) {
    case page_finding::not_asked: break;
    case page_finding::answers:
    case page_finding::redirects:
        add(line, "answers ");
        add_quoted(line, status_line(exchange), shown_status);
        if (finding == page_finding::redirects) {
            add(line, " and redirects to ");
            add_quoted(line, location(exchange), shown_location);
        }
        break;
    case page_finding::refused: add(line, "refuses the connection on port ", port_text.text); break;
    case page_finding::no_connection:
        add(line, "takes no connection on port ", port_text.text, " within ",
            decimal_text(bound_ms(page_connect_microseconds)).text, " ms");
        break;
    case page_finding::unreachable:
        add(line, "cannot be reached (", error_text(exchange.error).view(), ")");
        break;
    case page_finding::silent:
        add(line, "takes the connection but sends no whole head within ",
            decimal_text(bound_ms(page_head_microseconds)).text, " ms");
        break;
    case page_finding::not_http: add(line, "sends no HTTP answer"); break;
    }
}

}  // namespace

void add_page_sentence(text_line& line, const probe_report& report, const probe_verdict& verdict) {
    const page_journey& page = report.page;
    const page_verdict& found = verdict.page;
    if (found.direct_page == page_finding::not_asked) {
        return;
    }
    const dotted_text host{page.address};
    if (!line.view().ends_with('.')) {
        add(line, ".");  // after "would open http://A.B.C.D"
    }
    add(line, found.no_program ? " No program is registered to open http URLs, so no browser would start;" : "");
    const std::string_view page_at = found.no_program ? " the page at http://" : " The page at http://";
    if (goes_through_proxy(found.way)) {
        add(line, found.no_program ? " a" : " A", " browser goes to http://", host.text, " through the proxy ");
        add_quoted(line, page.proxy_used.data(), shown_status);
        if (page.resolve_error != 0 || found.page == page_finding::not_asked) {
            add(line, ", which the probe could not ask (");
            add(line, page.resolve_error != 0 ? error_text(page.resolve_error).view() : "its port is not a number");
            add(line, ")");
        } else {
            add(line, ", which ");
            add_state(line, found.page, page.through, server_of(page.proxy_used.data()).port);
        }
        add(line, "; asked directly, the page ");
        add_state(line, found.direct_page, page.direct, http_port);
        add(line, ".");
        return;
    }
    add(line, page_at, host.text, " ");
    add_state(line, found.direct_page, page.direct, http_port);
    if (found.direct_page == page_finding::refused) {
        add(line, ": its web service is down, or a firewall refuses the port, while its discovery answers");
    } else if (found.direct_page == page_finding::no_connection) {
        add(line, ": a firewall on this PC, on the way or on the server drops it");
    }
    if (found.way == proxy_way::unreadable) {
        add(line, "; the proxy settings could not be read, so a browser may go another way");
    } else if (found.way == proxy_way::socks) {
        add(line, "; a browser goes through a SOCKS proxy, which the probe does not ask through");
    }
    add(line, ".");
}

void print_page(std::FILE* out, const probe_report& report) {
    const page_journey& page = report.page;
    if (page.address == 0) {
        return;
    }
    text_line line;
    add(line, "\nThe page, as a browser would ask for it: http://", dotted_text(page.address).text, "/");
    add(line, "\n  Program for http URLs: ");
    const http_program& program = page.program;
    if (program.none || program.error != 0 || program.helper_status != 0) {
        add(line, program.none ? "none is registered" : "could not be told: ");
        if (program.error != 0) {
            add(line, (program_error_is_hresult ? hresult_text(program.error) : error_text(program.error)).view());
        }
        add(line, program.helper_status != 0 ? "xdg-mime ended with status " : "",
            program.helper_status != 0 ? decimal_text(static_cast<unsigned long>(program.helper_status)).text : "");
    } else if (program.name[0] == '\0' && program.executable[0] == '\0') {
        add(line, "one without a name");
    } else {
        add(line, escape_text(program.name.data(), net::names_are_utf8).view());
        add(line, program.executable[0] != '\0' ? ", " : "",
            escape_text(program.executable.data(), net::names_are_utf8).view());
    }
    print(out, line);
    print_proxy(out, page);
    add(line, "  Asked directly, port 80: ");
    add_exchange(line, page.direct);
    print(out, line);
    if (goes_through_proxy(page.way)) {
        add(line, "  Asked through the proxy: ");
        if (page.resolve_error != 0) {
            add(line, "its name could not be resolved: ", error_text(page.resolve_error).view());
        } else if (page.through.end == exchange_end::not_made) {
            add(line, "not asked: its port is not a number from 1 to 65535");
        } else {
            add_exchange(line, page.through);
        }
        print(out, line);
    }
}

}  // namespace detect
