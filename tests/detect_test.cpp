#include "launcher.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>
#include <span>
#include <string>
#include <iterator>
#include <set>
#include <vector>

#include "dialog_policy.h"
#include "fake_platform.h"
#include "ipv4_text.h"
#include "journey.h"
#include "probe.h"
#include "probe_report.h"
#include "probe_verdict.h"
#include "proxy_rules.h"
#include "save_key.h"
#include "segments.h"

using namespace std::string_literals;

namespace {

struct reply_case {
    const char* name;
    std::string bytes;
    detect::reply_verdict verdict;
};

TEST(AcceptanceRule, JudgesTheTextBeforeTheFirstNul) {
    using enum detect::reply_verdict;
    const std::string markers_at_the_end = std::string(1008, '-') + "ANSWERFindServer";
    const reply_case cases[] = {
        {"both markers", "ANSWER = FindServer\nPRODUCT = korvelin\n", accepted},
        {"markers in either order", "FindServer...ANSWER", accepted},
        {"markers run together", "ANSWERFindServer", accepted},
        {"another product and protocol", "ANSWER FindServer PRODUCT = other\nPROTOCOL = 9", accepted},
        {"only ANSWER", "ANSWER = something", no_findserver_marker},
        {"only FindServer", "REPLY = FindServer", no_answer_marker},
        {"lower case", "answer findserver", no_answer_marker},
        {"capitalised", "Answer FindServer", no_answer_marker},
        {"split marker", "ANS WER FindServer", no_answer_marker},
        {"second marker after NUL", "ANSWER\0FindServer"s, marker_after_nul},
        {"both markers after NUL", "\0ANSWER FindServer"s, marker_after_nul},
        {"ANSWER after NUL, FindServer before", "FindServer\0ANSWER"s, marker_after_nul},
        {"the request echoed back", std::string(detect::discovery_request), no_answer_marker},
        {"empty", "", no_answer_marker},
        {"1024 bytes", markers_at_the_end, accepted},
        {"1025 bytes", "-" + markers_at_the_end, oversized},
    };
    for (const reply_case& c : cases) {
        EXPECT_EQ(detect::judge_reply(c.bytes.data(), c.bytes.size()), c.verdict) << c.name;
        EXPECT_EQ(detect::is_discovery_reply(c.bytes.data(), c.bytes.size()), c.verdict == accepted)
            << c.name;
    }
}

TEST(AcceptanceRule, StaysWithinTheReceivedBytes) {
    // A full buffer carries no terminator: a marker that only completes past
    // its end must not count, one that ends on its last byte must.
    std::string memory(1100, 'x');
    memory.replace(0, 6, "ANSWER");
    memory.replace(1014, 10, "FindServer");
    EXPECT_FALSE(detect::is_discovery_reply(memory.data(), 1023));
    EXPECT_TRUE(detect::is_discovery_reply(memory.data(), 1024));

    // Exactly 1024 bytes on the heap, no NUL: a sanitizer run sees any over-read.
    std::vector<char> full(1024, 'x');
    std::memcpy(full.data(), "ANSWER", 6);
    std::memcpy(full.data() + 1014, "FindServer", 10);
    EXPECT_TRUE(detect::is_discovery_reply(full.data(), full.size()));
}

std::string repeat(const std::string& calls, int times) {
    std::string all;
    for (int i = 0; i < times; ++i) {
        all += (all.empty() ? "" : " ") + calls;
    }
    return all;
}

const std::string valid_reply = "ANSWER = FindServer\nPRODUCT = korvelin\n";
constexpr std::uint32_t server = 0x0AC80002;  // 10.200.0.2

constexpr std::uint32_t ipv4(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d) {
    return a << 24 | b << 16 | c << 8 | d;
}

// An interface address; flags: u up, b broadcast-capable, l loopback,
// p point-to-point.
net::interface_address lan(std::uint32_t address, int prefix, unsigned link,
                           const std::string& flags = "ub") {
    const std::uint32_t netmask = prefix == 0 ? 0 : ~std::uint32_t{0} << (32 - prefix);
    const auto has = [&](char flag) { return flags.find(flag) != std::string::npos; };
    return {address, netmask, link, has('u'), has('b'), has('l'), has('p')};
}

// The PC of the copy cases: the platform's broadcast takes link 2; links 3
// and 4 are the other segments.
const std::vector<net::interface_address> three_links = {
    lan(ipv4(10, 2, 0, 1), 24, 2), lan(ipv4(10, 3, 0, 1), 24, 3), lan(ipv4(10, 4, 0, 1), 24, 4)};

// "10.3.0.255:5501", or "255.255.255.255:5501 through link 3".
std::string text_of(const net::copy_destination& copy) {
    char text[detect::ipv4_text_size];
    detect::format_ipv4(copy.destination.address, text);
    return text + ":"s + std::to_string(copy.destination.port) +
           (copy.link != 0 ? " through link " + std::to_string(copy.link) : "");
}

// Where the copies to links 3 and 4 of three_links go on this platform:
// directed broadcasts on Windows, the limited one steered through each
// link on Linux.
#ifdef _WIN32
const std::array<std::string, 2> copies_of_three_links = {"10.3.0.255:5501", "10.4.0.255:5501"};
#else
const std::array<std::string, 2> copies_of_three_links = {"255.255.255.255:5501 through link 3",
                                                          "255.255.255.255:5501 through link 4"};
#endif

struct discovery_case {
    const char* name;
    fake_script script = {};
    std::string calls;
    const char* result = nullptr;  // nullptr: no server
};

TEST(FindKorvelinServer, FollowsTheScriptedNetwork) {
    const fake_reply answer{valid_reply, server};
    const std::string three_sends = "send send send";  // the broadcast, two copies
    const discovery_case cases[] = {
        {.name = "answer to the first request",
         .script = {.wait_results = {1}, .replies = {answer}},
         .calls = "socket send wait receive close", .result = "10.200.0.2"},
        {.name = "no server: five sends, five waits",
         .calls = "socket " + repeat("send wait", 5) + " close"},
        {.name = "reply during the third wait",
         .script = {.wait_results = {0, 0, 1}, .replies = {answer}},
         .calls = "socket " + repeat("send wait", 3) + " receive close", .result = "10.200.0.2"},
        {.name = "failed send skips its wait",
         .script = {.sends_succeed = {false, true}, .wait_results = {1}, .replies = {answer}},
         .calls = "socket send send wait receive close", .result = "10.200.0.2"},
        {.name = "every send fails", .script = {.sends_succeed = std::deque<bool>(5, false)},
         .calls = "socket " + repeat("send", 5) + " close"},
        {.name = "failed wait sends again", .script = {.wait_results = {-1, 1}, .replies = {answer}},
         .calls = "socket send wait send wait receive close", .result = "10.200.0.2"},
        {.name = "socket opens on the retry",
         .script = {.socket_opens = {false}, .wait_results = {1}, .replies = {answer}},
         .calls = "socket socket send wait receive close", .result = "10.200.0.2"},
        {.name = "socket fails twice", .script = {.socket_opens = {false, false}},
         .calls = "socket socket"},
        {.name = "receive fails", .script = {.wait_results = {1}},
         .calls = "socket send wait receive close"},
        {.name = "rejected first datagram ends discovery",
         .script = {.wait_results = {1}, .replies = {{"REPLY = FindServer", server}, answer}},
         .calls = "socket send wait receive close"},
        {.name = "empty datagram", .script = {.wait_results = {1}, .replies = {{"", server}}},
         .calls = "socket send wait receive close"},
        {.name = "1024 bytes, markers at the end",
         .script = {.wait_results = {1},
                    .replies = {{std::string(1008, '-') + "ANSWERFindServer", 0xC0A80101}}},
         .calls = "socket send wait receive close", .result = "192.168.1.1"},
        {.name = "address in the text is not used",
         .script = {.wait_results = {1},
                    .replies = {{"ANSWER FindServer 192.168.7.7 file:///etc", server}}},
         .calls = "socket send wait receive close", .result = "10.200.0.2"},
        {.name = "lowest and highest octets",
         .script = {.wait_results = {1}, .replies = {{valid_reply, 0xFF000001}}},
         .calls = "socket send wait receive close", .result = "255.0.0.1"},
        {.name = "other links get a copy before the wait",
         .script = {.interfaces = three_links, .wait_results = {1}, .replies = {answer}},
         .calls = "socket " + three_sends + " wait receive close", .result = "10.200.0.2"},
        {.name = "no server: every attempt copies", .script = {.interfaces = three_links},
         .calls = "socket " + repeat(three_sends + " wait", 5) + " close"},
        {.name = "own broadcast and a copy refused, the last copy sent",
         .script = {.interfaces = three_links, .sends_succeed = {false},
                    .copies_succeed = {false, true}, .wait_results = {1}, .replies = {answer}},
         .calls = "socket " + three_sends + " wait receive close", .result = "10.200.0.2"},
        {.name = "every send and copy fails",
         .script = {.interfaces = three_links, .sends_succeed = std::deque<bool>(5, false),
                    .copies_succeed = std::deque<bool>(10, false)},
         .calls = "socket " + repeat(three_sends, 5) + " close"},
        {.name = "ICMP errors left on, broadcast refused, no list: it still asks",
         .script = {.broadcast_allowed = false, .unreachable_errors_off = false,
                    .interfaces_listed = false, .wait_results = {1}, .replies = {answer}},
         .calls = "socket send wait receive close", .result = "10.200.0.2"},
    };
    for (const discovery_case& c : cases) {
        fake_script script = c.script;
        script.own_source = three_links[0].address;
        reset_fake(script);

        const detect::server_address_text found = detect::find_korvelin_server();

        SCOPED_TRACE(c.name);
        const std::string& calls = fake().calls;
        EXPECT_EQ(calls, c.calls);
        if (calls.find("send") != std::string::npos) {
            // Broadcast allowed and the segments listed once, in any order.
            std::istringstream words(fake().set_up);
            const std::multiset<std::string> set_up{std::istream_iterator<std::string>(words), {}};
            EXPECT_EQ(set_up, (std::multiset<std::string>{"broadcast", "icmp", "interfaces", "route"}));
            // ICMP errors are off before anything is sent.
            EXPECT_LT(fake().set_up.find("icmp"), fake().set_up.find("route"));
        }
        EXPECT_EQ(fake().sockets_open, 0) << "socket left open";
        if (c.result == nullptr) {
            EXPECT_EQ(found, nullptr);
        } else {
            ASSERT_NE(found, nullptr);
            EXPECT_STREQ(found.get(), c.result);
        }
        for (const std::string& payload : fake().payloads) {
            EXPECT_EQ(payload, detect::discovery_request);
        }
        for (const net::ipv4_endpoint& destination : fake().destinations) {
            EXPECT_EQ(destination.address, 0xFFFFFFFFu);
            EXPECT_EQ(destination.port, 5501);
        }
        for (std::size_t i = 0; i < fake().copies.size(); ++i) {
            EXPECT_EQ(text_of(fake().copies[i]), copies_of_three_links[i % 2]) << "copy " << i;
        }
        for (const long timeout : fake().wait_timeouts) {
            EXPECT_EQ(timeout, 500000);
        }
        if (calls.find("receive") != std::string::npos) {
            EXPECT_EQ(fake().receive_capacity, 1024u);
        }
    }
}

// One word for each verdict: a verdict added without one does not compile.
#pragma GCC diagnostic push
#pragma GCC diagnostic error "-Wswitch"
const char* word_for(detect::segment_verdict verdict) {
    switch (verdict) {
        using enum detect::segment_verdict;
    case own_broadcast: return "own";
    case copy: return "copy";
    case loopback: return "loopback";
    case down: return "down";
    case point_to_point: return "p2p";
    case too_narrow: return "narrow";
    case no_broadcast: return "nobcast";
    case no_subnet: return "nomask";
    case no_link: return "nolink";
    case same_segment: return "same";
    case beyond_limit: return "beyond";
    }
    return "?";
}
#pragma GCC diagnostic pop

// One word for each row's verdict; "(A)" names the row whose broadcast or
// copy reaches it already, when that is another.
std::string verdict_words(const detect::segment_plan& plan) {
    std::string text;
    for (const detect::segment_decision& decision : plan.list()) {
        if (!text.empty()) {
            text += ' ';
        }
        text += word_for(decision.verdict);
        if (decision.reached_through != 0 && decision.reached_through != decision.row.address) {
            char reached[detect::ipv4_text_size];
            detect::format_ipv4(decision.reached_through, reached);
            text.append("(").append(reached).append(")");
        }
    }
    return text;
}

struct segment_case {
    const char* name;
    net::segment_kind kind;
    std::vector<net::interface_address> rows;
    std::optional<std::uint32_t> own_source;
    std::string verdicts;
    std::vector<std::string> copies = {};  // where each copy goes, in row order
};

TEST(DecideSegments, GivesEveryRowItsVerdictAndEachCopyItsDestination) {
    using enum net::segment_kind;
    const std::uint32_t a = ipv4(10, 2, 0, 1), b = ipv4(10, 3, 0, 1), c = ipv4(10, 2, 0, 9);
    const std::vector<net::interface_address> unusable = {
        lan(ipv4(127, 0, 0, 1), 8, 1, "ul"), lan(a, 24, 2, "b"), lan(a, 24, 3, "up"),
        lan(a, 24, 4, "ubp"), lan(a, 24, 5, "u"), lan(a, 31, 6), lan(a, 32, 7), lan(a, 0, 8),
        lan(a, 24, 0),  // link 0: cannot be steered through
        lan(ipv4(127, 0, 0, 2), 8, 1, "ubl")};
    const std::string unusable_on_links = "loopback down p2p p2p nobcast narrow narrow nomask";
    const std::vector<net::interface_address> three_addresses_one_link = {
        lan(a, 24, 2), lan(b, 24, 3), lan(ipv4(10, 9, 0, 1), 16, 2), lan(ipv4(10, 9, 1, 1), 16, 2)};
    std::vector<net::interface_address> forty_links;
    std::string thirty_two_copies_eight_beyond;
    std::vector<std::string> copies_through_links_1_to_32;
    for (unsigned link = 1; link <= 40; ++link) {
        forty_links.push_back(lan(ipv4(10, link, 0, 1), 24, link));
        thirty_two_copies_eight_beyond += link == 1 ? "copy" : link <= 32 ? " copy" : " beyond";
        if (link <= 32) {
            copies_through_links_1_to_32.push_back("255.255.255.255:5501 through link " +
                                                   std::to_string(link));
        }
    }
    const segment_case cases[] = {
        {"every reason for no copy, on links", link, unusable, std::nullopt,
         unusable_on_links + " nolink loopback"},
        {"on subnets, a row without a link counts", subnet, unusable, std::nullopt,
         unusable_on_links + " copy loopback", {"10.2.0.255:5501"}},
        {"a link listed three times gets one copy", link, three_addresses_one_link, std::nullopt,
         "copy copy same(10.2.0.1) same(10.2.0.1)",
         {"255.255.255.255:5501 through link 2", "255.255.255.255:5501 through link 3"}},
        {"each subnet of a link gets its own", subnet, three_addresses_one_link, std::nullopt,
         "copy copy copy same(10.9.0.1)",
         {"10.2.0.255:5501", "10.3.0.255:5501", "10.9.255.255:5501"}},
        {"one network number, two masks: two subnets", subnet,
         {lan(ipv4(10, 1, 2, 3), 8, 2), lan(ipv4(10, 0, 5, 5), 16, 3)}, std::nullopt, "copy copy",
         {"10.255.255.255:5501", "10.0.255.255:5501"}},
        {"two adapters on one subnet get one", subnet, {lan(a, 24, 2), lan(c, 24, 3)},
         std::nullopt, "copy same(10.2.0.1)", {"10.2.0.255:5501"}},
        {"the own link gets none, its other subnet neither", link, three_addresses_one_link,
         ipv4(10, 9, 1, 1), "own(10.9.1.1) copy own(10.9.1.1) own",
         {"255.255.255.255:5501 through link 3"}},
        {"the own subnet gets none, on any adapter", subnet,
         {lan(c, 24, 2), lan(b, 24, 3), lan(a, 24, 4)}, a, "own(10.2.0.1) copy own",
         {"10.3.0.255:5501"}},
        {"no more than 32 segments", link, forty_links, std::nullopt,
         thirty_two_copies_eight_beyond, copies_through_links_1_to_32},
        {"an own broadcast through loopback reaches no link", link,
         {lan(ipv4(127, 0, 0, 1), 8, 1, "ul"), lan(a, 24, 2, "b")}, ipv4(127, 0, 0, 1),
         "loopback down"},
        {"nor any subnet, listed or not", subnet, {lan(a, 24, 2), lan(b, 24, 3, "b")},
         ipv4(127, 0, 0, 1), "copy down", {"10.2.0.255:5501"}},
        {"an address whose last byte is 127 is no loopback", subnet,
         {lan(ipv4(192, 168, 1, 127), 24, 2), lan(b, 24, 3)}, ipv4(192, 168, 1, 127), "own copy",
         {"10.3.0.255:5501"}},
    };
    for (const segment_case& c : cases) {
        const detect::segment_plan plan = detect::decide_segments(c.rows, c.own_source, c.kind, 5501);
        EXPECT_EQ(verdict_words(plan), c.verdicts) << c.name;
        std::vector<std::string> copies;
        for (const detect::segment_decision& decision : plan.list()) {
            if (decision.verdict == detect::segment_verdict::copy) {
                copies.push_back(text_of(decision.copy));
            }
        }
        EXPECT_EQ(copies, c.copies) << c.name;
    }
}

struct probe_case {
    const char* name;
    fake_script script;
    std::string senders;  // address, datagrams and verdict of each listed one
    std::size_t unlisted;
    int exit_status;
    std::string conclusion;
    std::string waits = "";  // each wait's time-out in ms, when given
    std::string shown = "";  // a line the report holds, when given
};

TEST(RunProbe, ListensThroughEveryWaitAndEndsAsTheLauncherWould) {
    const std::string box = "korvelin-detect would show \"Server wasn't found\": ";
    const std::string nothing_answered = box + "nothing answered. " + std::string(detect::troubleshooting_pointer) +
                                         ": a server behind a router, across a full-tunnel VPN, or a firewall that "
                                         "drops the request or the answer.";
    const fake_reply stray{"ANSWER = hello\n", ipv4(10, 200, 0, 3)};
    const fake_reply server_b{valid_reply, ipv4(10, 201, 0, 2)};
    std::deque<fake_reply> seventy_senders;
    std::string sixty_four_listed;
    for (std::uint32_t host = 1; host <= 70; ++host) {
        seventy_senders.push_back({valid_reply, ipv4(10, 200, 1, host)});
        if (host <= 64) {
            sixty_four_listed += " 10.200.1." + std::to_string(host) + " 1 accepted";
        }
    }
    const std::string four_windows = " 500 500 500 500";
    // Four adapters, down, named in four scripts: CJK at two columns a
    // character, Thai with its marks, Hebrew and Arabic.
    const fake_script four_scripts = {
        .interfaces = {lan(ipv4(10, 2, 0, 1), 24, 2, "b"), lan(ipv4(10, 3, 0, 1), 24, 3, "b"),
                       lan(ipv4(10, 4, 0, 1), 24, 4, "b"), lan(ipv4(10, 5, 0, 1), 24, 5, "b")},
        .names = {"\u4ee5\u592a\u7f51\u4ee5\u592a\u7f51\u4ee5\u592a\u7f51",
                  "\u0e2d\u0e35\u0e40\u0e17\u0e2d\u0e23\u0e4c\u0e40\u0e19\u0e47\u0e15",
                  "\u05d0\u05ea\u05e8\u05e0\u05d8", "\u0625\u064a\u062b\u0631\u0646\u062a"}};
    const probe_case cases[] = {
        {"the first datagram accepted, the window closing 500 ms after the sends",
         {.wait_results = {1, 1}, .replies = {{valid_reply, server}, {valid_reply, server}}},
         " 10.200.0.2 2 accepted", 0, 0, "korvelin-detect would open http://10.200.0.2",
         "500 490 480" + four_windows},
        {"the first rejected, accepted ones later, in later waits",
         {.wait_results = {1, 1, 0, 1}, .replies = {stray, {valid_reply, server}, server_b}},
         " 10.200.0.3 1 rejected 10.200.0.2 1 accepted 10.201.0.2 1 accepted", 0, 1,
         box + "the first answer, from 10.200.0.3, was rejected (no \"FindServer\"). It judges "
               "the first answer only; accepted ones came later from 10.200.0.2, 10.201.0.2.",
         "500 490 480 500 490 500 500 500"},
        {"an oversized datagram is received and judged",
         {.wait_results = {1}, .replies = {{std::string(2000, '-') + "ANSWERFindServer", server}}},
         " 10.200.0.2 1 rejected", 0, 1,
         box + "the first answer, from 10.200.0.2, was rejected (over 1024 bytes). No answer "
               "was accepted."},
        {"a failed first receive is the launcher's end, whatever follows, and named as its own",
         {.wait_results = {1, 1, 1}, .replies = {{"", 0, 10054}, {"", 0, 10052}, {valid_reply, server}}},
         " 10.200.0.2 1 accepted", 0, 1,
         box + "the first answer could not be read: text of 10054 (error 10054). It judges the "
               "first datagram only; accepted ones came later from 10.200.0.2.",
         "500 490 480 470" + four_windows, "  and 2 datagrams that could not be read: text of 10052 (error 10052)"},
        {"a receive that fails alone", {.wait_results = {1}}, "", 0, 1,
         box + "the first answer could not be read: text of 101 (error 101). No answer was accepted.",
         "500 490" + four_windows},
        {"a failed wait ends its window; nothing answered", {.wait_results = {-1}}, "", 0, 1,
         nothing_answered,
         "500" + four_windows, "  1 wait for an answer failed: text of 101 (error 101)"},
        {"64 senders listed, more counted",
         {.wait_results = std::deque<int>(70, 1), .replies = seventy_senders},
         sixty_four_listed, 6, 0, "korvelin-detect would open http://10.200.1.1"},
        {"a refused copy, with the system's reason",
         {.interfaces = three_links, .own_source = three_links[0].address,
          .copies_succeed = {false, true, false, true, false, true, false, true, false, true}},
         "", 0, 1, nothing_answered,
         "500 500 500 500 500", "refused 5 of 5: text of 101 (error 101)"},
        {"the own broadcast on loopback alone: no network asked",
         {.interfaces = {lan(ipv4(127, 0, 0, 1), 8, 1, "ul")}, .own_source = ipv4(127, 0, 0, 1)},
         "", 0, 2,
         box + "no network this PC is attached to can carry the request: the system sends its "
               "own broadcast through loopback, and no adapter took a copy.",
         "500 500 500 500 500", "  if1              127.0.0.1/8         skipped: loopback"},
        {"an own broadcast from 127/8 with no loopback row listed: no network asked",
         {.interfaces = {lan(ipv4(10, 2, 0, 1), 24, 2, "b")}, .own_source = ipv4(127, 3, 2, 1)},
         "", 0, 2,
         box + "no network this PC is attached to can carry the request: the system sends its "
               "own broadcast through loopback, and no adapter took a copy.",
         "500 500 500 500 500", "  if2              10.2.0.1/24         skipped: down"},
        {"every send refused, the system's text escaped, the lowest code in full",
         {.sends_succeed = std::deque<bool>(5, false), .failure = INT_MIN,
          .error_text = "Zugriff\r\nverweigert \xe3\x80\x82\r\n"},
         "", 0, 2, box + "every request was refused: Zugriff\\x0d\\x0averweigert (error -2147483648).", "",
         "The broadcast to 255.255.255.255 was refused 5 of 5 times: Zugriff\\x0d\\x0averweigert (error -2147483648)"},
        {"broadcasting refused, and so every send",
         {.broadcast_allowed = false, .sends_succeed = std::deque<bool>(5, false), .failure = 13},
         "", 0, 2,
         box + "every request was refused: broadcasting was not allowed (text of 13 (error 13)), "
               "and then: text of 13 (error 13)."},
        {"the interfaces cannot be listed", {.interfaces_listed = false, .wait_results = {1},
                                             .replies = {{valid_reply, server}}},
         " 10.200.0.2 1 accepted", 0, 0, "korvelin-detect would open http://10.200.0.2", "",
         "  none could be listed (text of 101 (error 101)): only 255.255.255.255 was asked"},
        {"no adapter names: the addresses listed all the same",
         {.interfaces = three_links, .names_read = false, .own_source = three_links[0].address},
         "", 0, 1, nothing_answered,
         "", "  The adapters' names could not be read: text of 101 (error 101)\n"
             "  -                10.2.0.1/24         asked: the system's own broadcast"},
        {"names in any script padded to the widest, right-to-left ones isolated", four_scripts, "", 0, 1,
         nothing_answered,
         "", "  \u4ee5\u592a\u7f51\u4ee5\u592a\u7f51\u4ee5\u592a\u7f51 10.2.0.1/24         skipped: down\n"
             "  \u0e2d\u0e35\u0e40\u0e17\u0e2d\u0e23\u0e4c\u0e40\u0e19\u0e47\u0e15           10.3.0.1/24         skipped: down\n"
             "  \u2068\u05d0\u05ea\u05e8\u05e0\u05d8\u2069              10.4.0.1/24         skipped: down\n"
             "  \u2068\u0625\u064a\u062b\u0631\u0646\u062a\u2069             10.5.0.1/24         skipped: down"},
        {"no socket", {.socket_opens = {false, false}}, "", 0, 2,
         box + "no UDP socket could be opened: text of 101 (error 101)."},
    };
    for (const probe_case& c : cases) {
        SCOPED_TRACE(c.name);
        // The launcher on the same network: the probe's status says what it did.
        reset_fake(c.script);
        const bool launcher_opens = detect::find_korvelin_server() != nullptr;
        reset_fake(c.script);

        detect::probe_report report = detect::run_probe();
        // Names given are a Windows adapter's: UTF-8 text.
        report.names_utf8 = report.names_utf8 || !c.script.names.empty();

        std::string senders;
        for (const detect::probe_sender& sender : report.listed()) {
            char address[detect::ipv4_text_size];
            detect::format_ipv4(sender.address, address);
            senders += " "s + address + " " + std::to_string(sender.datagrams) +
                       (sender.verdict == detect::reply_verdict::accepted ? " accepted" : " rejected");
        }
        EXPECT_EQ(senders, c.senders);
        EXPECT_EQ(report.unlisted_senders, c.unlisted);
        EXPECT_EQ(detect::exit_status(report.outcome), c.exit_status);
        EXPECT_EQ(c.exit_status == 0, launcher_opens);
        EXPECT_EQ(detect::conclusion(report).view(), c.conclusion);
        EXPECT_EQ(fake().sockets_open, 0) << "socket left open";
        if (!c.waits.empty()) {
            std::string waits;
            for (const long timeout : fake().wait_timeouts) {
                waits.append(waits.empty() ? "" : " ").append(std::to_string(timeout / 1000));
            }
            EXPECT_EQ(waits, c.waits);
        }
        detect::print_report(stdout, report, "test");
        if (!c.shown.empty()) {
            EXPECT_NE(fake().written.find(c.shown + "\n"), std::string::npos) << fake().written;
        }
        // The last line, as a fleet's tool reads it: its last 2,048 characters.
        EXPECT_TRUE(fake().written.ends_with("\n" + c.conclusion + "\n"));
        EXPECT_LE(c.conclusion.size() + 1, 2048u);
        // Each report for bidi_columns.sh, which lays it out as a ticket's page would.
        if (const char* reports = std::getenv("KORVELIN_REPORT_DIR")) {
            std::ofstream(reports + "/"s + std::to_string(&c - cases) + ".txt") << fake().written;
        }
        if (c.script.socket_opens.empty()) {
            EXPECT_EQ(fake().payloads.size() - fake().copies.size(), 5u) << "the launcher's five attempts";
        }
    }
}

// What judge() finds, and the sentences and sections it leads to, on the
// layouts offices have every day: a LAN on link 2 that the system's own
// broadcast takes, other segments (a Hyper-V or WSL switch) that get a
// copy, and a hardening baseline where Public prohibits unicast answers
// and Private allows them.
TEST(DirectRequest, TellsARouterFromADropFromNoAnswerAndNeverDecidesTheOutcome) {
    const std::uint32_t far = ipv4(10, 9, 0, 2), near = ipv4(10, 3, 0, 7), first = ipv4(10, 3, 0, 2);
    const fake_reply from_far{valid_reply, far}, from_near{valid_reply, near}, from_first{valid_reply, first};
    const fake_reply unread{"", 0, 10054};
    using enum firewall::profile;
    const auto categorised = [](firewall::category_reading link2, firewall::category_reading link3,
                                firewall::category_reading link4 = {}) {
        firewall::state state{.present = true, .active_count = 2};
        state.active[0] = {public_network, {true}, {true}, {false}};
        state.active[1] = {private_network, {true}, {false}, {false}};
        state.categories[0] = link2;
        state.categories[1] = link3;
        state.categories[2] = link4;
        return state;
    };
    const firewall::category_reading pri{true, private_network}, pub{true, public_network};
    const firewall::state public_prohibits = categorised({}, {});
    // The first row down, but holding 10.5.0.7 as the /16 does.
    const std::vector<net::interface_address> wide_and_narrow = {
        lan(ipv4(10, 5, 0, 2), 24, 6, "b"), lan(ipv4(10, 2, 0, 1), 24, 2), lan(ipv4(10, 5, 0, 1), 16, 3),
        lan(ipv4(10, 6, 0, 1), 25, 4), lan(ipv4(10, 7, 0, 0), 31, 5)};
    const std::string firewall_named = "Windows Defender Firewall's";
    const std::string nothing = "korvelin-detect would show \"Server wasn't found\": nothing answered. " +
                                std::string(detect::troubleshooting_pointer) +
                                ": a server behind a router, across a full-tunnel VPN, or a firewall that drops "
                                "the request or the answer.";
    using enum detect::direct_finding;
    using enum detect::firewall_finding;
    const struct {
        const char* name;
        std::uint32_t address;
        fake_script script;
        int exit_status;
        detect::direct_finding finding;
        std::string conclusion;  // what it holds
        std::string shown = "";
        std::string absent = "";  // what neither the conclusion nor the report holds
        detect::firewall_finding firewall = none;
        std::string named = "";  // the networks the firewall's sentence names, and its profiles
    } cases[] = {
        {"accepted, on no attached segment: a router between", far,
         {.direct_waits = {1}, .direct_replies = {from_far}}, 1, behind_router,
         nothing + " 10.9.0.2 answers a direct request, but a router lies between this PC and it, and "
                   "korvelin-detect asks only the networks this PC is attached to.",
         "Asked directly: 10.9.0.2, on no segment this PC is attached to\n"
         "  the same request to UDP port 5501 in 5 of 5 attempts\nAnswers to it:\n  1. 10.9.0.2"},
        {"accepted, on an attached segment, not by broadcast: dropped; no category read: profiles possible", near,
         {.direct_waits = {1}, .direct_replies = {from_near}, .firewall = public_prohibits}, 1, broadcast_dropped,
         " 10.3.0.7 answers directly, but not the broadcast, and is on the same segment as 10.3.0.1: something "
         "drops the broadcast or the answer to it, a firewall on this PC or on the server. Which firewall profile "
         "applies is unknown for the network of 10.3.0.1 (no network); the active Public profile prohibits unicast "
         "answers to a broadcast, and may be why.",
         "Asked directly: 10.3.0.7, on the same segment as 10.3.0.1/24", "Likely cause", possible, "10.3.0.1 Public"},
        {"its segment's network Public, prohibiting: that profile named", near,
         {.direct_waits = {1}, .direct_replies = {from_near}, .firewall = categorised(pri, pub)}, 1, broadcast_dropped,
         " Likely cause: Windows Defender Firewall's Public profile, the one for the network of 10.3.0.1, "
         "prohibits unicast answers to a broadcast.",
         "  if3              10.3.0.1/24         Public   asked: a copy", "", cause, "10.3.0.1 Public"},
        {"the LAN Private beside a Default Switch on Public: the LAN's profile allows, nothing named", near,
         {.direct_waits = {1}, .direct_replies = {from_near}, .firewall = categorised(pub, pri)}, 1, broadcast_dropped,
         " on the same segment as 10.3.0.1: something drops", "  if2              10.2.0.1/24         Public",
         firewall_named},
        {"its segment's category unreadable: said in the table, profiles only possible", near,
         {.direct_waits = {1}, .direct_replies = {from_near},
          .firewall = categorised(pri, {false, public_network, -2147467259})}, 1, broadcast_dropped,
         "10.3.0.1 (could not be read: error 0x80004005); the active Public profile prohibits unicast answers to a "
         "broadcast, and may be why.",
         "; its network's category could not be read (text of -2147467259 (error 0x80004005))", "Likely cause",
         possible, "10.3.0.1 Public"},
        {"no address, the Private LAN beside Public switches: only if the server is on one", 0,
         {.firewall = categorised(pri, pub, pub)}, 1, not_asked,
         " If the server is on the network of 10.3.0.1 and 10.4.0.1, Windows Defender Firewall's Public profile "
         "there prohibits unicast answers to a broadcast, and that is why; the other networks asked allow them.",
         "", "Likely cause", if_there, "10.3.0.1 10.4.0.1 Public"},
        {"no address, every network Public: the likely cause", 0, {.firewall = categorised(pub, pub, pub)}, 1,
         not_asked, " Likely cause: Windows Defender Firewall's Public profile, the one for every network asked "
                    "(10.2.0.1, 10.3.0.1 and 10.4.0.1), prohibits unicast answers to a broadcast.",
         "", "", cause, "10.2.0.1 10.3.0.1 10.4.0.1 Public"},
        {"no address, a category unknown beside ones that allow: possible", 0, {.firewall = categorised(pri, pri)}, 1,
         not_asked, " Which firewall profile applies is unknown for the network of 10.4.0.1 (no network); the "
                    "active Public profile prohibits unicast answers to a broadcast, and may be why.",
         "", "", possible, "10.4.0.1 Public"},
        {"no adapter identified: every network's category unknown, and why", 0,
         {.firewall = categorised({}, {}), .adapters_error = 1168}, 1, not_asked,
         "10.2.0.1 (its adapter could not be identified), 10.3.0.1 (its",
         "  the adapters could not be identified, so no network's category is known: text of 1168 (error 1168)", "",
         possible, "10.2.0.1 10.3.0.1 10.4.0.1 Public"},
        {"no answer at all: the firewall is no cause", far, {.firewall = categorised(pub, pub, pub)}, 1, unanswered,
         "nothing answered the direct request", "", firewall_named},
        {"nothing answered it", far, {}, 1, unanswered,
         nothing + " As for 10.9.0.2, nothing answered the direct request: the server is off, the address is "
                   "wrong, or UDP port 5501 is blocked on the way.",
         "Answers to it:\n  none"},
        {"a datagram that could not be read is no silence, and blames nothing", near,
         {.direct_waits = {1}, .direct_replies = {unread}, .firewall = categorised(pub, pub, pub)}, 1, unreadable,
         " As for 10.3.0.7, something came back to the direct request but could not be read (text of 10054 (error "
         "10054)), so the probe cannot tell whether the server answered.",
         "  and 1 datagram that could not be read: text of 10054 (error 10054)", firewall_named},
        {"an unreadable first datagram beside its accepted direct answer: no dropped broadcast", near,
         {.wait_results = {1}, .direct_waits = {1}, .replies = {unread}, .direct_replies = {from_near}}, 1,
         broadcast_unread,
         " 10.3.0.7 answers directly and is on the same segment as 10.3.0.1; the launcher's first datagram could "
         "not be read, and may have been its answer to the broadcast.", "", "drops the broadcast"},
        {"it answered the broadcast too: the launcher's own conclusion kept", far,
         {.wait_results = {1}, .direct_waits = {1}, .replies = {from_far}, .direct_replies = {from_far}}, 0,
         also_broadcast, "korvelin-detect would open http://10.9.0.2. 10.9.0.2 answered the broadcast too."},
        {"its answer rejected, and why", far,
         {.direct_waits = {1}, .direct_replies = {{"ANSWER = hello", far}}}, 1, rejected,
         " The first answer to the direct request, from 10.9.0.2, was rejected (no \"FindServer\")."},
        {"its sends refused: every network asked, nothing said of the server or the path", far,
         {.direct_sends_succeed = std::deque<bool>(5, false), .firewall = categorised(pub, pub, pub)}, 1, not_sent,
         " No direct request to 10.9.0.2 could be sent (text of 101 (error 101)), so the probe cannot tell "
         "anything of it. Likely cause",
         "  the same request to UDP port 5501 in 0 of 5 attempts; refused 5 of 5: text of 101 (error 101)",
         "server is off", cause, "10.2.0.1 10.3.0.1 10.4.0.1 Public"},
        {"a server with two addresses, asked by its second: its first's answers listed apart", near,
         {.wait_results = {1}, .direct_waits = {1}, .replies = {from_first}, .direct_replies = {from_first}}, 0,
         other_also_broadcast,
         "korvelin-detect would open http://10.3.0.2. Nothing answered from 10.3.0.7 itself; 10.3.0.2 answered "
         "the direct request and the broadcast, as a server with two addresses does from its first.",
         "Answers to it:\n  none\nFrom other addresses, to the same socket:\n  1. 10.3.0.2          accepted",
         "drops the broadcast"},
        {"another address in its place, not by broadcast", near,
         {.direct_waits = {1}, .direct_replies = {from_first}}, 1, other_instead,
         " Nothing answered from 10.3.0.7 itself; 10.3.0.2 answered the direct request in its place (listed "
         "apart).", "", "answers directly"},
        {"another address's rejected answer is no server in its place", near,
         {.direct_waits = {1}, .direct_replies = {{"ANSWER = hello", first}}}, 1, unanswered,
         "nothing answered the direct request", "From other addresses, to the same socket:", "in its place"},
        {"on a segment whose every copy was refused: the launcher does not broadcast there", near,
         {.copies_succeed = {false, true, false, true, false, true, false, true, false, true},
          .direct_waits = {1}, .direct_replies = {from_near}, .firewall = categorised({}, pub)}, 1, not_broadcast_there,
         " 10.3.0.7 answers a direct request and is on the segment of 10.3.0.1, but korvelin-detect does not "
         "broadcast there (every copy was refused: text of 101 (error 101)).", "", firewall_named},
        {"on the own broadcast's segment, refused in every attempt: not broadcast there either", ipv4(10, 2, 0, 7),
         {.sends_succeed = std::deque<bool>(5, false), .direct_waits = {1},
          .direct_replies = {{valid_reply, ipv4(10, 2, 0, 7)}}}, 1, not_broadcast_there,
         "(the broadcast to 255.255.255.255 was refused: text of 101 (error 101))."},
        {"any positive wait is readable, where only the direct socket is waited on", near,
         {.sends_succeed = std::deque<bool>(5, false), .copies_succeed = std::deque<bool>(10, false),
          .direct_waits = {2}, .direct_replies = {from_near}}, 2, not_broadcast_there, "10.3.0.7 answers a direct request"},
        {"across a /31: not broadcast there, and why, as the table says", ipv4(10, 7, 0, 1),
         {.interfaces = wide_and_narrow, .own_source = ipv4(10, 2, 0, 1), .direct_waits = {1},
          .direct_replies = {{valid_reply, ipv4(10, 7, 0, 1)}}}, 1, not_broadcast_there,
         " 10.7.0.1 answers a direct request and is on the segment of 10.7.0.0, but korvelin-detect does not "
         "broadcast there (skipped: /31 or /32, no broadcast address).", "", "drops the broadcast"},
        {"in a /16, where a /24 would not hold it", ipv4(10, 5, 200, 9),
         {.interfaces = wide_and_narrow, .own_source = ipv4(10, 2, 0, 1), .direct_waits = {1},
          .direct_replies = {{valid_reply, ipv4(10, 5, 200, 9)}}}, 1, broadcast_dropped,
         " 10.5.200.9 answers directly, but not the broadcast, and is on the same segment as 10.5.0.1:",
         "Asked directly: 10.5.200.9, on the same segment as 10.5.0.1/16"},
        {"in two attached subnets: the one asked is its segment", ipv4(10, 5, 0, 7),
         {.interfaces = wide_and_narrow, .own_source = ipv4(10, 2, 0, 1), .direct_waits = {1},
          .direct_replies = {{valid_reply, ipv4(10, 5, 0, 7)}}}, 1, broadcast_dropped,
         "is on the same segment as 10.5.0.1:"},
        {"beside a /25 that does not hold it, where a /24 would", ipv4(10, 6, 0, 200),
         {.interfaces = wide_and_narrow, .own_source = ipv4(10, 2, 0, 1), .direct_waits = {1},
          .direct_replies = {{valid_reply, ipv4(10, 6, 0, 200)}}}, 1, behind_router,
         " 10.6.0.200 answers a direct request, but a router lies between", "on no segment this PC is attached to"},
        {"a late answer while the broadcast is refused waits, as in the launcher", near,
         {.sends_succeed = {true, false, false, false, false},
          .copies_succeed = {true, true, false, false, false, false, false, false, false, false},
          .wait_results = {0, 1}, .replies = {from_first}}, 1, unanswered, "nothing answered.",
         "Answers, in order of arrival:\n  none"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fake_script script = c.script;
        if (script.interfaces.empty()) {
            script.interfaces = three_links;
            script.own_source = three_links[0].address;
        }
        reset_fake(script);
        const bool launcher_opens = detect::find_korvelin_server() != nullptr;
        reset_fake(script);
        const detect::probe_report report = detect::run_probe(c.address);
        EXPECT_EQ(detect::exit_status(report.outcome), c.exit_status);
        EXPECT_EQ(c.exit_status == 0, launcher_opens) << "the direct request changes nothing";
        const detect::probe_verdict verdict = detect::judge(report);
        EXPECT_EQ(verdict.direct, c.finding);
        EXPECT_EQ(verdict.firewall, c.firewall);
        std::string named;
        for (std::size_t row = 0; row < report.segments.count; ++row) {
            char address[detect::ipv4_text_size];
            detect::format_ipv4(report.segments.rows[row].row.address, address);
            named += verdict.rows[row] ? address + " "s : "";
        }
        for (const firewall::profile kind : {domain, private_network, public_network}) {
            named += (verdict.profiles & static_cast<unsigned>(kind)) != 0 ? detect::profile_name(kind) : "";
        }
        EXPECT_EQ(c.firewall == none ? "" : named, c.named);
        EXPECT_NE(detect::conclusion(report).view().find(c.conclusion), std::string_view::npos)
            << detect::conclusion(report).view();
        EXPECT_EQ(fake().sockets_open, 0) << "socket left open";
        EXPECT_EQ(std::count_if(fake().destinations.begin(), fake().destinations.end(),
                                [&](const net::ipv4_endpoint& to) { return to.address == c.address && to.port == 5501; }),
                  c.address == 0 ? 0 : 5);
        detect::print_report(stdout, report, "test");
        EXPECT_NE(fake().written.find(c.shown), std::string::npos) << fake().written;
        EXPECT_TRUE(c.absent.empty() || fake().written.find(c.absent) == std::string::npos) << fake().written;
        // A fleet's tool reads the last line, its last 2,048 characters.
        const std::string last = std::string(detect::conclusion(report).view()) + "\n";
        EXPECT_TRUE(fake().written.ends_with("\n" + last));
        EXPECT_LE(last.size(), 2048u);
    }
}

TEST(FirewallSection, ReadsEachActiveProfileAndNamesTheSettingThatDropsAnswers) {
    const auto profile = [](firewall::profile kind, bool on, bool prohibits, net::error_code error = 0) {
        return firewall::profile_state{kind, {on, error}, {prohibits}, {false}};
    };
    const struct {
        const char* name;
        firewall::state state;
        std::string shown;
        const char* named;      // what the conclusion says of the firewall, if anything
        bool answered = false;  // a server's answer got in all the same
    } cases[] = {
        {"Linux: none", {}, "", nullptr},
        {"off", {.present = true, .active = {profile(firewall::profile::private_network, false, true)}, .active_count = 1},
         "  Private: off; unicast answers to a broadcast: prohibited; all inbound traffic: not blocked\n", nullptr},
        {"on, allowing", {.present = true, .active = {profile(firewall::profile::domain, true, false)}, .active_count = 1},
         "  Domain: on; unicast answers to a broadcast: allowed; all inbound traffic: not blocked\n", nullptr},
        {"on, prohibiting on Public only",
         {.present = true,
          .active = {profile(firewall::profile::domain, true, false), profile(firewall::profile::public_network, true, true)},
          .active_count = 2},
         "  Domain: on; unicast answers to a broadcast: allowed; all inbound traffic: not blocked\n"
         "  Public: on; unicast answers to a broadcast: prohibited; all inbound traffic: not blocked\n",
         "the active Public profile prohibits unicast answers to a broadcast, and may be why."},
        {"prohibiting on Public, but an answer got in: not the cause",
         {.present = true, .active = {profile(firewall::profile::public_network, true, true)}, .active_count = 1},
         "  Public: on; unicast answers to a broadcast: prohibited", nullptr, true},
        {"a value that could not be read",
         {.present = true, .active = {profile(firewall::profile::public_network, false, true, -2147467263)}, .active_count = 1},
         "  Public: could not be read (text of -2147467263 (error 0x80004001)); unicast answers", nullptr},
        {"the profiles that could not be read (Wine)", {.present = true, .profiles_error = -2147467263},
         "Windows Defender Firewall, the active profiles:\n  which profiles are active could not be read: "
         "text of -2147467263 (error 0x80004001)\n\n", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        reset_fake({.wait_results = {c.answered ? 1 : 0},
                    .replies = {c.answered ? 1u : 0u, fake_reply{valid_reply, server}},
                    .firewall = c.state});
        const detect::probe_report report = detect::run_probe();
        EXPECT_EQ(detect::exit_status(report.outcome), c.answered ? 0 : 1) << "whatever the firewall";
        detect::print_report(stdout, report, "test");
        EXPECT_EQ(fake().written.find("Windows Defender Firewall, the active profiles:") != std::string::npos,
                  c.state.present);
        EXPECT_NE(fake().written.find(c.shown), std::string::npos) << fake().written;
        EXPECT_EQ(detect::conclusion(report).view().find(c.named != nullptr ? c.named : "unicast answers") !=
                      std::string_view::npos,
                  c.named != nullptr);
    }
}

TEST(SaveKey, SavesOnTheSKeyOfAnyLayoutAloneAndClosesOnEnter) {
    using detect::key_choice;
    const struct {
        const char* name;
        console::key_event key;
        key_choice choice;
    } cases[] = {
        {"S, whatever letter the layout gives it", {true, detect::key_s}, key_choice::save},
        {"S released", {false, detect::key_s}, key_choice::ignore},
        {"Ctrl+S", {true, detect::key_s, true}, key_choice::ignore},
        {"Alt+S", {true, detect::key_s, false, true}, key_choice::ignore},
        {"AltGr+S (Ctrl and Alt)", {true, detect::key_s, true, true}, key_choice::ignore},
        {"Delete (once 0xE0, then 'S')", {true, 0x2E}, key_choice::ignore},
        {"Ctrl+Left (once 0xE0, then 's')", {true, 0x25, true}, key_choice::ignore},
        {"Enter, and the keypad's, which Windows reports alike", {true, detect::key_enter}, key_choice::close},
        {"Enter released", {false, detect::key_enter}, key_choice::ignore},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(detect::choice_for(c.key), c.choice) << c.name;
    }
}

struct launcher_case {
    const char* name;
    fake_script script;
    std::string calls_after_discovery;
    std::vector<std::string> urls;
    std::vector<std::string> warnings;
};

// What a person sees, for each way the tools can end: the boxes of the
// tools tried, in order, then whether the line reaches standard error.
TEST(WarningSteps, ShowOneBoxOrTheLineAndNeverASecondBox) {
    using enum detect::dialog_end;
    EXPECT_EQ(detect::next_warning_step(false, {}).kind, detect::warning_step::line_on_stderr);
    const std::pair<std::vector<detect::dialog_end>, std::string> cases[] = {
        {{shown}, "zenity done"},
        {{not_found, shown}, "zenity kdialog done"},
        {{not_found, killed, shown}, "zenity kdialog xmessage done"},
        {{killed, not_found, not_found}, "zenity kdialog xmessage line"},
        {{failed}, "zenity line"},
        {{not_found, failed}, "zenity kdialog line"},
    };
    constexpr const char* names[] = {"zenity ", "kdialog ", "xmessage "};
    for (const auto& [ends, seen] : cases) {
        std::string shown;
        std::size_t ended = 0;
        using enum detect::warning_step::kind_of_step;
        for (auto step = detect::next_warning_step(true, {});;
             step = detect::next_warning_step(true, {ends.data(), ++ended})) {
            if (step.kind != try_tool || ended == ends.size()) {
                shown += step.kind == done ? "done" : step.kind == line_on_stderr ? "line" : "more";
                break;
            }
            shown += names[static_cast<int>(step.tool)];
        }
        EXPECT_EQ(shown, seen);
    }
}

TEST(RunLauncher, ShowsOneOutcomeAndStopsTheStackItStarted) {
    const launcher_case cases[] = {
        {"server found", {.wait_results = {1}, .replies = {{valid_reply, server}}},
         "close open_url stop", {"http://10.200.0.2"}, {}},
        {"no server", {.replies = {{valid_reply, server}}}, "close warning stop", {},
         {"Sorry|Server wasn't found"}},
        {"stack did not start", {.stack_starts = false, .socket_opens = {false, false}},
         "socket socket warning", {}, {"Sorry|Server wasn't found"}},
    };
    for (const launcher_case& c : cases) {
        reset_fake(c.script);

        SCOPED_TRACE(c.name);
        EXPECT_EQ(detect::run_launcher(), 0);
        const std::string& calls = fake().calls;
        EXPECT_EQ(calls.rfind("start", 0), 0u) << calls;
        EXPECT_EQ(calls.substr(calls.size() - c.calls_after_discovery.size()),
                  c.calls_after_discovery);
        EXPECT_EQ(fake().opened_urls, c.urls);
        EXPECT_EQ(fake().warnings, c.warnings);
    }
}

TEST(BuildServerUrl, WritesTheUrlOnlyWhenItFitsAndOnlyThatIsOpened) {
    // "http://", the longest address and the NUL fill the buffer exactly.
    const std::string longest(detect::url_buffer_size - 8, '1');
    const struct {
        std::string address;
        bool fits;
    } cases[] = {{"10.200.0.2", true}, {"255.255.255.255", true}, {longest, true},
                 {longest + "1", false}};
    for (const auto& c : cases) {
        char url[detect::url_buffer_size] = "stale";
        EXPECT_EQ(detect::build_server_url(c.address.c_str(), url), c.fits) << c.address;
        EXPECT_EQ(std::string(url), c.fits ? "http://" + c.address : "") << c.address;
        reset_fake();
        detect::open_in_default_browser(c.address.c_str());
        EXPECT_EQ(fake().opened_urls.size(), c.fits ? 1u : 0u) << c.address;
        EXPECT_EQ(fake().opened_urls.empty() ? "" : fake().opened_urls[0], std::string(url));
    }
}

TEST(HttpHead, ReadsTheStatusAndLocationWithinTheBytesAlone) {
    using enum detect::head_state;
    const std::string unended = "HTTP/1.1 200 OK\r\n" + std::string(detect::head_capacity, 'a');
    const struct {
        std::string bytes;
        detect::head_state state;
        unsigned code;
        std::string status, location;
    } cases[] = {
        {"HTTP/1.0 200 OK\r\nServer: s\r\n\r\nbody", complete, 200, "HTTP/1.0 200 OK", ""},
        {"HTTP/1.1 302 Found\nlocation: \t http://x/y \n\n", complete, 302, "HTTP/1.1 302 Found", "http://x/y"},
        {"HTTP/1.1 204\r\nX-Location: a\r\nLocation:\r\n\r\n", complete, 204, "HTTP/1.1 204", ""},
        {"HTTP/1.1 200 OK\r\nContent", incomplete, 200, "HTTP/1.1 200 OK", ""},
        {"HTT", incomplete, 0, "", ""},
        {"\x1b[2J HTTP/1.1 200 OK\r\n\r\n", not_http, 0, "", ""},
        {"HTTP/1.1 2000 OK\r\n\r\n", not_http, 0, "", ""},
        {"HTTP/1.1 20\r\n", not_http, 0, "", ""},
        {"HTTP/1.1 032 Found\n\n", not_http, 0, "", ""},
        {unended.substr(0, detect::head_capacity), too_long, 200, "HTTP/1.1 200 OK", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes.substr(0, 40));
        const detect::http_head head = detect::read_http_head(c.bytes);
        EXPECT_EQ(head.state, c.state);
        EXPECT_EQ(head.code, c.code);
        EXPECT_EQ(c.bytes.substr(0, head.code == 0 ? 0 : head.status_size), c.status);
        ASSERT_LE(head.location_at + head.location_size, c.bytes.size());
        EXPECT_EQ(c.bytes.substr(head.location_at, head.location_size), c.location);
    }
}

TEST(ProxyRules, PickTheHttpEntryAndMatchTheBypassListAsDocumented) {
    const struct {
        std::string list, entry, host;
        std::uint16_t port;
        bool socks;
    } entries[] = {
        {"proxy:8080", "proxy:8080", "proxy", 8080, false},
        {"ftp=f:21;http=h:3128 https=s:443", "h:3128", "h", 3128, false},
        {"p:2 HTTP=http://h.corp/", "http://h.corp/", "h.corp", 80, false},
        {" ;; p:0", "p:0", "p", 0, false},
        {"p:65536", "p:65536", "p", 0, false},
        {"https=s:443;socks=k:1080", "", "", 80, true},
    };
    for (const auto& c : entries) {
        SCOPED_TRACE(c.list);
        EXPECT_EQ(detect::http_proxy_entry(c.list), c.entry);
        EXPECT_EQ(detect::has_socks_entry(c.list), c.socks);
        const detect::proxy_server server = detect::server_of(c.entry);
        EXPECT_EQ(std::string(server.host) + ":" + std::to_string(server.port), c.host + ":" + std::to_string(c.port));
    }
    const struct {
        std::string bypass, host;
        bool bypassed;
    } bypasses[] = {
        {"<local>", "10.200.0.2", false},  // an address holds periods
        {"<local>", "intranet", true},       {"<LOCAL>", "intranet", true},
        {"*.corp;10.1.*", "10.200.0.2", false}, {"*.corp;10.200.*", "10.200.0.2", true},
        {"10.200.0.20", "10.200.0.2", false},   {"other 10.200.0.2", "10.200.0.2", true},
        {"10.*.0.2", "10.200.0.2", true},      {"10.*.0.3", "10.200.0.2", false},
        {"INTRANET.corp", "intranet.CORP", true}, {"", "10.200.0.2", false},
        {"*", "10.200.0.2", true},
    };
    for (const auto& c : bypasses) {
        EXPECT_EQ(detect::bypasses(c.bypass, c.host), c.bypassed) << c.bypass << " " << c.host;
    }
}

// The journey after discovery on the fake: the page asked directly, the
// program for http and the proxy, with what each tells in the conclusion.
TEST(Journey, FollowsTheHandOffAsFarAsThePagesHeadAndNoFurther) {
    using enum detect::page_finding;
    using enum detect::proxy_way;
    const auto setting = [](const char* text) {
        detect::setting_text value{};
        std::snprintf(value.data(), value.size(), "%s", text);
        return value;
    };
    const fake_connection ok{.chunks = {"HTTP/1.0 200 OK\r\nServer: s\r\n\r\n<html>"}};
    const fake_connection forbidden{.chunks = {"HTTP/1.1 403 Forbidden\r\n\r\n"}};
    const detect::proxy_settings fixed_proxy{.read = true, .fixed = setting("proxy.corp:3128"), .bypass = setting("<local>")};
    const std::string its_page = " The page at http://10.200.0.2 ";
    std::string forty_escapes;
    for (int i = 0; i < 40; ++i) {
        forty_escapes += "\\x1b";
    }
    const std::string through = " A browser goes to http://10.200.0.2 through the proxy \"proxy.corp:3128\", which ";
    const struct {
        const char* name;
        fake_script script;
        detect::page_finding page, direct = page;
        detect::proxy_way way = not_read;
        std::string shown, said;
        std::uint32_t address = 0;  // asked directly; the broadcast then unanswered
    } cases[] = {
        {"200", {.connections = {ok}}, answers, answers, not_read,
         "  Asked directly, port 80: connected after 2 ms; \"HTTP/1.0 200 OK\"\n",
         its_page + "answers \"HTTP/1.0 200 OK\"."},
        {"a redirect, its head in two parts", {.connections = {{.chunks = {"HTTP/1.1 302 Found\r\nLoc", "ation: /login\r\n\r\n"}}}},
         redirects, redirects, not_read, "; \"HTTP/1.1 302 Found\", Location \"/login\"\n",
         its_page + "answers \"HTTP/1.1 302 Found\" and redirects to \"/login\"."},
        {"refused", {}, refused, refused, not_read, "  Asked directly, port 80: no connection: text of ",
         its_page + "refuses the connection on port 80: its web service is down, or a firewall refuses the port"},
        {"dropped", {.connections = {{.connect_error = net::timed_out}}}, no_connection, no_connection, not_read,
         "port 80: no connection: none within 3000 ms, text of ", its_page + "takes no connection on port 80 within 3000 ms: a firewall"},
        {"accepts, says nothing", {.connections = {{.stays_open = true}}}, silent, silent, not_read,
         "; no whole head within 3000 ms; 0 bytes came\n", its_page + "takes the connection but sends no whole head within 3000 ms."},
        {"a megabyte of escapes", {.connections = {{.chunks = {std::string(1 << 20, '\x1b')}}}}, not_http, not_http, not_read,
         "; not an HTTP answer, first bytes \"" + forty_escapes + "...\"\n", its_page + "sends no HTTP answer."},
        {"a head without end", {.connections = {{.chunks = {"HTTP/1.1 200 " + std::string(1 << 20, 'A')}}}}, not_http,
         not_http, not_read, "; no end of the head within 4096 bytes, first bytes \"HTTP/1.1 200 AAA", ""},
        {"closed early", {.connections = {{.chunks = {"HTTP/1.1 200 OK\r\n"}}}}, not_http, not_http, not_read,
         "; closed before the head ended, after 17 bytes came\n", ""},
        {"a receive that fails", {.connections = {{.receive_error = 104}}}, silent, silent, not_read,
         "; the answer could not be read: text of 104 (error 104)\n", ""},
        {"escapes in the status and the location",
         {.connections = {{.chunks = {"HTTP/1.1 301 \x1b]0;x\x07\r\nLocation: \x1b[2J/\r\n\r\n"}}}}, redirects, redirects,
         not_read, "", its_page + "answers \"HTTP/1.1 301 \\x1b]0;x\\x07\" and redirects to \"\\x1b[2J/\"."},
        {"no program for http", {.connections = {ok}, .program = {.none = true}}, answers, answers, not_read,
         "  Program for http URLs: none is registered\n",
         " No program is registered to open http URLs, so no browser would start; the page at http://10.200.0.2 answers"},
        {"the program named", {.connections = {ok}, .program = {.name = setting("Firefox"), .executable = setting("C:\\f.exe")}},
         answers, answers, not_read, "  Program for http URLs: Firefox, C:\\\\f.exe\n", ""},
        {"a fixed proxy that answers 403", {.connections = {ok, forbidden}, .proxy = fixed_proxy, .resolved = ipv4(10, 200, 0, 3)},
         answers, answers, fixed,
         "  Asked through the proxy: connected after 2 ms; \"HTTP/1.1 403 Forbidden\"\n",
         through + "answers \"HTTP/1.1 403 Forbidden\"; asked directly, the page answers \"HTTP/1.0 200 OK\"."},
        {"its name that cannot be resolved", {.connections = {ok}, .proxy = fixed_proxy}, not_asked, answers, fixed,
         "  Asked through the proxy: its name could not be resolved: text of 101",
         through.substr(0, through.size() - 8) + ", which the probe could not ask (text of 101 (error 101)); asked"},
        {"bypassed", {.connections = {ok}, .proxy = {.read = true, .fixed = setting("proxy.corp:3128"), .bypass = setting("<local>;10.200.*")}},
         answers, answers, bypassed, "  A browser goes directly, as the bypass list holds the address, past \"proxy.corp:3128\"\n",
         its_page + "answers"},
        {"a PAC file's proxy, which refuses",
         {.connections = {ok}, .proxy = {.read = true, .script_url = setting("http://10.200.0.3/p.pac"), .script_run = true,
                                         .script_proxy = setting("10.200.0.3:8080")}, .resolved = ipv4(10, 200, 0, 3)},
         refused, answers, script, "  The script, asked for this page: \"10.200.0.3:8080\"\n",
         " A browser goes to http://10.200.0.2 through the proxy \"10.200.0.3:8080\", which refuses the connection on port 8080; asked"},
        {"a PAC file that fails, the fixed proxy left", {.connections = {ok, forbidden}, .proxy = {.read = true, .fixed = setting("p"),
         .script_run = true, .script_error = 12167}, .resolved = ipv4(10, 200, 0, 3)},
         answers, answers, fixed, "  The script, asked for this page: no answer: text of 12167", ""},
        {"auto-detect that finds nothing", {.connections = {ok}, .proxy = {.read = true, .auto_detect = true, .script_run = true,
         .script_error = 12180}}, answers, answers, direct, "  A browser goes directly\n", its_page + "answers"},
        {"settings that cannot be read", {.connections = {ok}, .proxy = {.read = true, .error = 5}}, answers, answers, unreadable,
         "  Proxy: Internet Options could not be read: text of 5", "; the proxy settings could not be read, so a browser may go"},
        {"a SOCKS proxy alone", {.connections = {ok}, .proxy = {.read = true, .fixed = setting("socks=s:1080")}}, answers, answers,
         socks, "through a SOCKS proxy, which the probe", "; a browser goes through a SOCKS proxy, which the probe does not ask"},
        {"ADDRESS answered directly: its page", {.direct_waits = {1}, .direct_replies = {{valid_reply, ipv4(10, 3, 0, 7)}},
         .connections = {ok}}, answers, answers, not_read, "The page, as a browser would ask for it: http://10.3.0.7/\n",
         " The page at http://10.3.0.7 answers", ipv4(10, 3, 0, 7)},
        {"ADDRESS's answer rejected: no page", {.direct_waits = {1}, .direct_replies = {{"hello", ipv4(10, 3, 0, 7)}},
         .connections = {ok}}, not_asked, not_asked, not_read, "", "", ipv4(10, 3, 0, 7)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fake_script script = c.script;
        script.interfaces = three_links;
        script.own_source = three_links[0].address;
        if (c.address == 0) {
            script.wait_results = {1};
            script.replies = {{valid_reply, server}};
        }
        reset_fake(script);
        detect::probe_report report = detect::run_probe(c.address);
        report.page = detect::follow_hand_off(report);
        const detect::probe_verdict verdict = detect::judge(report);
        EXPECT_EQ(verdict.page.page, c.page);
        EXPECT_EQ(verdict.page.direct_page, c.direct);
        EXPECT_EQ(verdict.page.way, c.way);
        const std::string host = c.address == 0 ? "10.200.0.2" : "10.3.0.7";
        const std::string asked = "GET / HTTP/1.1\r\nHost: " + host + "\r\nConnection: close\r\n\r\n";
        ASSERT_EQ(fake().connected.empty(), c.direct == not_asked);
        EXPECT_TRUE(fake().connected.empty() || (fake().connected[0].port == 80 && fake().connected[0].address == report.page.address));
        EXPECT_TRUE(fake().requests.empty() || fake().requests[0] == asked) << fake().requests[0];
        if (fake().requests.size() > 1) {
            EXPECT_EQ(fake().requests[1], "GET http://" + host + "/ HTTP/1.1\r\nHost: " + host + "\r\nConnection: close\r\n\r\n");
            EXPECT_EQ(fake().connected[1].address, ipv4(10, 200, 0, 3)) << "the proxy, by its own port";
        }
        EXPECT_EQ(fake().sockets_open, 0);
        EXPECT_LE(report.page.direct.size, detect::head_capacity);
        detect::print_report(stdout, report, "test");
        EXPECT_NE(fake().written.find(c.shown), std::string::npos) << fake().written;
        EXPECT_EQ(fake().written.find("The page,") != std::string::npos, c.direct != not_asked);
        const std::string last = std::string(detect::conclusion(report).view());
        EXPECT_NE(last.find(c.said), std::string::npos) << last;
        EXPECT_LE(last.size() + 1, 2048u);
        EXPECT_EQ(std::count_if(fake().written.begin(), fake().written.end(),
                                [](char byte) { return byte != '\n' && static_cast<unsigned char>(byte) < 0x20; }), 0);
    }
}

}  // namespace
