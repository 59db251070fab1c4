// libFuzzer target: the probe's report as a person pastes it into a ticket.
// An input whose first byte is even is a script for the fake platform
// (an address asked directly or none, the firewall's profiles, interface
// rows with names of arbitrary bytes or of characters of every
// class that hides, joins or turns text, taken as a kernel's bytes or, as
// on Windows, as UTF-8; datagrams from arbitrary senders taking arbitrary
// times, refused sends, failed waits and receives, the system's text for
// its errors); an odd one is UTF-16, lone surrogates included, through the
// Windows name conversion into the same escaping. Whatever comes in, what
// goes out must be valid UTF-8 with no control character but the newline,
// nothing that reorders, hides or shows as nothing but the report's own
// isolates around a name, and no line cut; the probe's exit status must
// agree with the launcher, an address asked or not; and each sentence on
// the asked address and the firewall must be earned by what left, what
// came back and what the firewall's readings say.
#include <fuzzer/FuzzedDataProvider.h>
#include <iconv.h>

#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <span>
#include <string_view>
#include <string>

#include "console.h"
#include "fake_platform.h"
#include "launcher.h"
#include "probe.h"
#include "probe_report.h"
#include "probe_verdict.h"
#include "utf8.h"

namespace {

void fail(const char* what, const std::string& text) {
    std::fprintf(stderr, "report_fuzzer: %s in:\n%s\n", what, text.c_str());
    std::abort();
}

// Written out apart from the escaping's table: the characters of the
// "Trojan Source" class, and those that show as nothing, that must never
// reach a ticket raw. U+2068 and U+2069 are the report's own isolates.
bool reorders_or_hides(char32_t c) {
    return c == 0xAD || c == 0x034F || c == 0x061C || (c >= 0x115F && c <= 0x1160) ||
           (c >= 0x180B && c <= 0x180F) || (c >= 0x200B && c <= 0x200F) ||
           (c >= 0x2028 && c <= 0x202E) || (c >= 0x2060 && c <= 0x2067) ||
           (c >= 0x206A && c <= 0x206F) || c == 0x3164 || (c >= 0xFE00 && c <= 0xFE0F) ||
           c == 0xFEFF || c == 0xFFA0 || (c >= 0xE0000 && c <= 0xE0FFF);
}

// Characters of every class a name may hold to hide, join or turn text,
// and plain ones between them; a name is made of these, as UTF-8.
constexpr const char* name_pieces[] = {
    "a", "-", " ", "\u4ee5", "\u0e47", "\u0301", "\u094d", "\u1161", "\u11ab", "\ud7b0",
    "\u05d0", "\u0627", "\u0625", "\u0660", "\u034f", "\u115f", "\u3164", "\ufe00", "\ufe0f",
    "\uffa0", "\u2065", "\u2068", "\u2069", "\u202e", "\u200b", "\U000e0001", "\U000e0100",
    "\U000e0fff", "\U000e01ef"};

// iconv, not our own decoder, says whether the text is UTF-8.
void check_pasteable(const std::string& text) {
    std::u32string decoded(text.size() + 1, U'\0');
    iconv_t to_utf32 = iconv_open("UTF-32LE", "UTF-8");
    char* in = const_cast<char*>(text.data());
    std::size_t in_left = text.size();
    char* out = reinterpret_cast<char*>(decoded.data());
    std::size_t out_left = decoded.size() * sizeof(char32_t);
    const std::size_t converted = iconv(to_utf32, &in, &in_left, &out, &out_left);
    iconv_close(to_utf32);
    if (converted == static_cast<std::size_t>(-1) || in_left != 0) {
        fail("not UTF-8", text);
    }
    decoded.resize(decoded.size() - out_left / sizeof(char32_t));
    bool isolated = false;
    for (const char32_t c : decoded) {
        if ((c < 0x20 && c != U'\n') || (c >= 0x7F && c < 0xA0)) {
            fail("a control character", text);
        }
        if (reorders_or_hides(c)) {
            fail("a character that reorders or hides text", text);
        }
        // The report's isolates come in pairs, one around a name.
        if ((c == 0x2068 && isolated) || (c == 0x2069 && !isolated) || (c == U'\n' && isolated)) {
            fail("an isolate out of its pair", text);
        }
        isolated = c == 0x2068 || (isolated && c != 0x2069);
    }
    // A cut line loses its newline too, and runs into the next; the limit
    // is in bytes.
    std::size_t line_bytes = 0;
    for (const char byte : text) {
        line_bytes = byte == '\n' ? 0 : line_bytes + 1;
        if (line_bytes >= console::longest_write - 1) {
            fail("a line cut", text);
        }
    }
}

std::string bytes(FuzzedDataProvider& input, std::size_t most) {
    return input.ConsumeBytesAsString(input.ConsumeIntegralInRange<std::size_t>(0, most));
}

fake_script script_from(FuzzedDataProvider& input, std::uint32_t direct) {
    fake_script script;
    script.socket_opens = {input.ConsumeBool(), input.ConsumeBool()};
    script.broadcast_allowed = input.ConsumeBool();
    script.interfaces_listed = input.ConsumeBool();
    script.names_read = input.ConsumeBool();
    for (int row = input.ConsumeIntegralInRange(0, 8); row > 0; --row) {
        const unsigned flags = input.ConsumeIntegral<unsigned char>();
        // Often beside the asked address, so that a segment holds it.
        const std::uint32_t near = direct ^ input.ConsumeIntegral<unsigned char>();
        script.interfaces.push_back({.address = input.ConsumeBool() ? near : input.ConsumeIntegral<std::uint32_t>(),
                                     .netmask = ~0U << input.ConsumeIntegralInRange(0, 32) % 32,
                                     .link = input.ConsumeIntegralInRange(0U, 4U),
                                     .up = (flags & 1) != 0,
                                     .broadcast = (flags & 2) != 0,
                                     .loopback = (flags & 4) != 0,
                                     .point_to_point = (flags & 8) != 0});
        std::string name;
        if (input.ConsumeBool()) {
            for (int piece = input.ConsumeIntegralInRange(0, 60); piece > 0; --piece) {
                name += input.PickValueInArray(name_pieces);
            }
        } else {
            name = bytes(input, net::interface_name_size - 1);
        }
        script.names.push_back(name.substr(0, net::interface_name_size - 1));
    }
    if (input.ConsumeBool()) {
        script.own_source = input.ConsumeIntegral<std::uint32_t>();
    }
    for (int send = 0; send < 5; ++send) {
        script.sends_succeed.push_back(input.ConsumeIntegralInRange(0, 3) != 0);
        script.direct_sends_succeed.push_back(input.ConsumeIntegralInRange(0, 3) != 0);
        for (int copy = 0; copy < 2; ++copy) {
            script.copies_succeed.push_back(input.ConsumeBool());
        }
    }
    for (int wait = input.ConsumeIntegralInRange(0, 80); wait > 0; --wait) {
        script.wait_results.push_back(input.ConsumeIntegralInRange(-1, 1));
    }
    // Few enough that their receives, 10 ms each, never take a whole
    // window: each window then ends on a wait of the launcher's socket.
    for (int wait = input.ConsumeIntegralInRange(0, 12); wait > 0; --wait) {
        script.direct_waits.push_back(input.ConsumeIntegralInRange(0, 3));
    }
    for (int reply = input.ConsumeIntegralInRange(0, 70); reply > 0; --reply) {
        script.replies.push_back({.bytes = input.ConsumeBool() ? "ANSWER = FindServer" : bytes(input, 1100),
                                  .sender = input.ConsumeBool() ? direct : input.ConsumeIntegral<std::uint32_t>(),
                                  .error = input.ConsumeBool() ? input.ConsumeIntegral<int>() : 0,
                                  .takes_microseconds = input.ConsumeIntegralInRange(0, 600000)});
    }
    for (int reply = input.ConsumeIntegralInRange(0, 12); reply > 0; --reply) {
        script.direct_replies.push_back({.bytes = input.ConsumeBool() ? "ANSWER = FindServer" : bytes(input, 1100),
                                         .sender = input.ConsumeBool() ? direct : input.ConsumeIntegral<std::uint32_t>(),
                                         .error = input.ConsumeBool() ? input.ConsumeIntegral<int>() : 0});
    }
    script.firewall.present = input.ConsumeBool();
    script.firewall.profiles_error = input.ConsumeBool() ? input.ConsumeIntegral<int>() : 0;
    for (int profile = input.ConsumeIntegralInRange(0, 3); profile > 0; --profile) {
        const auto reading = [&] {
            return firewall::reading{input.ConsumeBool(), input.ConsumeBool() ? input.ConsumeIntegral<int>() : 0};
        };
        script.firewall.active[script.firewall.active_count++] = {
            input.PickValueInArray({firewall::profile::domain, firewall::profile::private_network,
                                    firewall::profile::public_network}),
            reading(), reading(), reading()};
    }
    for (firewall::category_reading& category : std::span{script.firewall.categories}.first(script.interfaces.size())) {
        category = {input.ConsumeBool(),
                    input.PickValueInArray({firewall::profile::domain, firewall::profile::private_network,
                                            firewall::profile::public_network}),
                    input.ConsumeBool() ? input.ConsumeIntegral<int>() : 0};
    }
    script.adapters_error = input.ConsumeBool() ? input.ConsumeIntegral<int>() : 0;
    script.failure = input.ConsumeIntegral<int>();
    script.error_text = bytes(input, 300);
    return script;
}

// Whether one of the launcher's datagrams left for the plan's row, by what
// the fake saw leave: the system's own broadcast where the table says it
// reaches the row, a copy to where the row's own copy would go where the
// table gives it one or has another row's reach it.
bool reached(const detect::segment_decision& decision) {
    using enum detect::segment_verdict;
    return std::ranges::any_of(fake().datagrams, [&](const fake_datagram& sent) {
        const net::interface_address& held = decision.row;
        const bool to_row = net::copy_reaches == net::segment_kind::link ? sent.to.link == held.link
                                                                         : sent.to.destination.address == (held.address | ~held.netmask);
        return sent.left && sent.socket == 7 &&
               (sent.copy ? (decision.verdict == copy || decision.verdict == same_segment) && to_row
                          : decision.verdict == own_broadcast);
    });
}

// The rules that keep the conclusion's sentences earned, each from what
// left, what came back and what the firewall's readings say.
void check_earned(const detect::probe_report& report, std::string_view conclusion, const std::string& text) {
    const detect::direct_request& direct = report.direct;
    const auto says = [&](std::string_view words) { return conclusion.find(words) != std::string_view::npos; };
    const auto accepted_from = [&](bool own) {
        return std::ranges::any_of(direct.listed(), [&](const detect::probe_sender& sender) {
            return (sender.address == direct.address) == own && sender.verdict == detect::reply_verdict::accepted;
        });
    };
    const auto left_from = [](net::socket_handle socket, bool copy) {
        return std::ranges::any_of(fake().datagrams, [&](const fake_datagram& sent) {
            return sent.socket == socket && sent.left && (socket == 8 || sent.copy == copy);
        });
    };
    const bool dropped = says("drops the broadcast");
    bool address_reached = false;
    // The networks in question: the address's own where the broadcast is
    // said to be dropped there, otherwise every one a datagram reached;
    // and the one the system's own broadcast took where no row names it.
    bool every = true, some = false;
    bool every_known = dropped || !left_from(7, false) || report.segments.own_broadcast_on_loopback ||
                       std::ranges::any_of(report.segments.list(), [](const detect::segment_decision& row) {
                           return row.verdict == detect::segment_verdict::own_broadcast;
                       });
    for (std::size_t row = 0; row < report.segments.count; ++row) {
        const detect::segment_decision& decision = report.segments.rows[row];
        const net::interface_address& held = decision.row;
        address_reached = address_reached || (!held.loopback && held.netmask != 0 && reached(decision) &&
                                              (held.address & held.netmask) == (direct.address & held.netmask));
        const firewall::category_reading& category = report.firewall.categories[row];
        const bool prohibited = category.known && std::ranges::any_of(
            std::span{report.firewall.active}.first(report.firewall.active_count), [&](const firewall::profile_state& p) {
                return p.kind == category.kind && p.enabled.error == 0 && p.enabled.value &&
                       p.unicast_answers_prohibited.error == 0 && p.unicast_answers_prohibited.value;
            });
        if (dropped ? direct.segment == row : reached(decision)) {
            every = every && prohibited && says(detect::profile_name(category.kind));
            some = some || prohibited;
            every_known = every_known && category.known;
        }
    }
    const bool firewall_named = says("Likely cause") || says("If the server is on the network of");
    const struct {
        bool broken;
        const char* what;
    } rules[] = {
        {(says("answers directly") || says("answers a direct")) && (direct.address == 0 || !accepted_from(true)),
         "\"answers directly\" without an accepted answer from the address"},
        {says(" itself; ") && !accepted_from(false), "another address answering without an accepted answer from one"},
        {says("nothing answered the direct") && (direct.failed_receives.count > 0 || accepted_from(true)),
         "\"nothing answered\" where something came back"},
        {dropped && (!address_reached || report.failed_receives.count > 0),
         "a dropped broadcast where none reached the address, or an answer could not be read"},
        {says("does not broadcast there") && address_reached, "\"does not broadcast there\" where a broadcast reached it"},
        {says("may have been its answer") && report.failed_receives.count == 0, "an unread answer where all were read"},
        {direct.address != 0 && !left_from(8, false) &&
             (says("answers directly") || says("answers a direct") || says("answered the direct") || says("a router lies")),
         "a word on the server when no direct request left"},
        {firewall_named && (!every_known || report.outcome != detect::probe_outcome::no_answer ||
                            (direct.address != 0 && left_from(8, false) && !dropped)),
         "a firewall named where the networks in question are not known"},
        {says("Likely cause") && !every, "a likely cause that not every network in question has"},
        {says("If the server is on the network of") && (every || !some), "\"if\" where every or no network prohibits"},
    };
    for (const auto& rule : rules) {
        if (rule.broken) {
            fail(rule.what, text);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    if (input.ConsumeIntegral<unsigned char>() % 2 != 0) {
        const std::string raw = input.ConsumeRemainingBytesAsString();
        const std::u16string utf16(reinterpret_cast<const char16_t*>(raw.data()), raw.size() / 2);
        char name[net::interface_name_size];
        const std::size_t length = detect::utf8_from_utf16(utf16, name);
        check_pasteable(std::string(detect::escape_text({name, length}, true).view()));
        return 0;
    }
    const bool names_utf8 = input.ConsumeBool();  // a Windows adapter's
    const std::uint32_t direct = input.ConsumeBool() ? input.ConsumeIntegral<std::uint32_t>() : 0;
    const fake_script script = script_from(input, direct);
    reset_fake(script);
    const bool launcher_opens = detect::find_korvelin_server() != nullptr;
    reset_fake(script);
    detect::probe_report report = detect::run_probe(direct);
    report.names_utf8 = names_utf8;
    detect::print_report(stdout, report, "fuzz");
    check_pasteable(fake().written);
    // The direct request has sends and waits of its own in the script: it
    // never changes what the launcher would do.
    if ((detect::exit_status(report.outcome) == 0) != launcher_opens) {
        fail("an exit status that disagrees with the launcher", fake().written);
    }
    // Judged without the system's texts, which may say anything.
    fake().script.error_text.clear();
    check_earned(report, detect::conclusion(report).view(), fake().written);
    return 0;
}
