// korvelin-probe: a console program that makes one discovery as the
// launcher does and reports what it asked, what answered, and what the
// launcher would do; given a server's address, it also asks that address
// directly and says why the broadcast did not find it. It then follows the
// hand-off to the page, as a browser would. Exit status 0: the
// launcher would open a page; 1: it would show "Server wasn't found"; 2:
// nothing could be asked, or a wrong argument.
#include <array>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <optional>

#include "console.h"
#include "ipv4_text.h"
#include "journey.h"
#include "net.h"
#include "probe.h"
#include "probe_report.h"
#include "probe_verdict.h"
#include "report_rows.h"
#include "save_key.h"
#include "system_dlls.h"

#ifndef KORVELIN_VERSION
#define KORVELIN_VERSION "unknown"
#endif

namespace {

constexpr const char* usage =
    "usage: korvelin-probe [--help | --version | ADDRESS]\n"
    "Sends one discovery request as korvelin-detect does, to every network this\n"
    "PC is attached to, listens for 2.5 seconds and reports which networks were\n"
    "asked, every sender that answered, and what korvelin-detect would do;\n"
    "then it asks for the page it would open, as a browser would.\n"
    "Given the server's IPv4 address, it asks that address directly too, and\n"
    "its last line says why the broadcast did not find it, for example:\n"
    "  korvelin-probe 192.168.1.30\n"
    "  ... 192.168.1.30 answers a direct request, but a router lies between ...\n"
    "  ... 192.168.1.30 answers directly, but not the broadcast, ...\n"
    "  ... As for 192.168.1.30, nothing answered the direct request ...\n"
    "  ... 192.168.1.30 answered the broadcast too.\n"
    "Exit status: 0 korvelin-detect would open the server's page, 1 it would\n"
    "show \"Server wasn't found\", 2 nothing could be asked, or a wrong argument.\n";

static_assert(detect::discovery_attempts * detect::reply_wait_microseconds == 2500000,
              "the usage names how long the probe listens");

// Waits for S (true) or Enter (false); false at the input's end.
bool save_chosen() {
    for (std::optional<console::key_event> key; (key = console::read_key());) {
        switch (detect::choice_for(*key)) {
        case detect::key_choice::save: return true;
        case detect::key_choice::close: return false;
        case detect::key_choice::ignore: break;
        }
    }
    return false;
}

// The system's reason, with an HRESULT as Windows' own tools print one.
detect::text_line save_error_text(const console::save_error& error) {
    return error.hresult ? detect::hresult_text(error.code) : detect::error_text(error.code);
}

// In a window of its own, which closes with the program, the report can be
// kept as a file for whoever helps.
void offer_to_save(const detect::probe_report& report) {
    // Keys typed during the run would answer a prompt not yet shown: an
    // Enter would close the window unread.
    console::discard_typed_keys();
    console::write(stdout, "\nPress S to save this report, or Enter to close");
    if (!save_chosen()) {
        return;
    }
    // As Windows spells it, so that the person can find it; escaped, as
    // any text from the system.
    char path[detect::longest_line / detect::escaped_byte] = {};
    console::save_error error;
    console::report_file file = console::create_report_file(path, error);
    const bool created = file.stream != nullptr;
    if (created) {
        detect::print_report(file.stream, report, KORVELIN_VERSION);
        error = console::close_report_file(file);
    }
    if (error.code != 0) {
        console::write(stdout, created ? "\n\nThe report could not be written, and its file was removed: "
                                       : "\n\nThe report could not be saved: ");
        console::write(stdout, save_error_text(error).view());
    } else {
        console::write(stdout, "\n\nSaved this report as ");
        console::write(stdout, detect::escape_text(path, true).view());
    }
    console::write(stdout, "\n");
    console::wait_for_enter();
}

// A broadcast address given as the server's: refused before anything is
// sent, naming the segment it would broadcast on.
bool refuse_broadcast_address(std::uint32_t address) {
    const std::optional<net::interface_address> segment = detect::segment_broadcasting_to(address);
    if (segment) {
        detect::text_line line;
        add(line, "korvelin-probe: '", detect::dotted_text(address).text,
            "' is the broadcast address of the segment of ", detect::dotted_text(segment->address).text, "/",
            detect::decimal_text(detect::prefix_length(segment->netmask)).text,
            ": give the server's own address\n");
        console::write(stderr, line.view());
        std::fputs(usage, stderr);
    }
    return segment.has_value();
}

int probe(std::uint32_t direct_address, bool keep_window) {
    const bool stack_started = net::start_network_stack();
    if (direct_address != 0 && refuse_broadcast_address(direct_address)) {
        if (stack_started) {
            net::stop_network_stack();
        }
        return 2;
    }
    detect::probe_report report = detect::run_probe(direct_address);
    report.page = detect::follow_hand_off(report);
    if (stack_started) {
        net::stop_network_stack();
    }
    detect::print_report(stdout, report, KORVELIN_VERSION);
    std::fflush(stdout);
    if (report.outcome == detect::probe_outcome::no_socket) {
        std::fputs("korvelin-probe: could not open a UDP socket\n", stderr);
    } else if (report.outcome == detect::probe_outcome::sends_refused) {
        std::fputs("korvelin-probe: every send was refused: no network can carry the request\n",
                   stderr);
    } else if (report.outcome == detect::probe_outcome::no_network) {
        std::fputs("korvelin-probe: the broadcast went to loopback alone: no network was asked\n",
                   stderr);
    }
    if (keep_window) {
        offer_to_save(report);
    }
    return detect::exit_status(report.outcome);
}

}  // namespace

int main(int argc, char** argv) {
    // First, before Winsock, the console or IP Helper can load a DLL.
    platform::load_dlls_from_system32_only();
    std::array<console::argument, 2> given;
    const std::size_t count = console::arguments(argc, argv, given);
    if (count == 1 && std::strcmp(given[0].text, "--help") == 0) {
        std::fputs(usage, stdout);
        return 0;
    }
    if (count == 1 && std::strcmp(given[0].text, "--version") == 0) {
        std::fputs("korvelin-probe " KORVELIN_VERSION "\n", stdout);
        return 0;
    }
    // Refused before anything is sent, naming what was typed, escaped.
    std::uint32_t address = 0;
    if (const std::optional<std::uint32_t> parsed = count == 1 ? detect::parse_ipv4(given[0].text) : std::nullopt;
        parsed && detect::can_ask_directly(*parsed)) {
        address = *parsed;
    }
    if (count > 1 || (count == 1 && address == 0)) {
        const detect::text_line shown = detect::escape_text(given[count > 1 ? 1 : 0].text, net::names_are_utf8);
        console::write(stderr, count > 1 ? "korvelin-probe: one argument at most; '" : "korvelin-probe: '");
        console::write(stderr, shown.view());
        console::write(stderr, count > 1 ? "' is one too many\n"
                                         : "' is no address to ask: give the server's IPv4 address, four "
                                           "numbers 0 to 255 without leading zeros, such as 192.168.1.20 "
                                           "(not 0.x, 127.x, multicast or broadcast)\n");
        std::fputs(usage, stderr);
        return 2;
    }
    return probe(address, console::is_own_window());
}
