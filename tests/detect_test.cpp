#include "detect.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "fake_platform.h"
#include "segments.h"

using namespace std::string_literals;

namespace {

struct reply_case {
    const char* name;
    std::string bytes;
    bool accepted;
};

TEST(AcceptanceRule, JudgesTheTextBeforeTheFirstNul) {
    const reply_case cases[] = {
        {"both markers", "ANSWER = FindServer\nPRODUCT = korvelin\n", true},
        {"markers in either order", "FindServer...ANSWER", true},
        {"markers run together", "ANSWERFindServer", true},
        {"another product and protocol", "ANSWER FindServer PRODUCT = other\nPROTOCOL = 9", true},
        {"only ANSWER", "ANSWER = something", false},
        {"only FindServer", "REPLY = FindServer", false},
        {"lower case", "answer findserver", false},
        {"capitalised", "Answer FindServer", false},
        {"split marker", "ANS WER FindServer", false},
        {"second marker after NUL", "ANSWER\0FindServer"s, false},
        {"both markers after NUL", "\0ANSWER FindServer"s, false},
        {"the request echoed back", std::string(detect::discovery_request), false},
        {"empty", "", false},
    };
    for (const reply_case& c : cases) {
        EXPECT_EQ(detect::is_discovery_reply(c.bytes.data(), c.bytes.size()), c.accepted)
            << c.name;
    }
}

TEST(AcceptanceRule, StaysWithinTheReceivedBytes) {
    // A full buffer carries no terminator: a marker that only completes past
    // its end must not count, one that ends on its last byte must.
    std::string memory(1100, 'x');
    memory.replace(0, 6, "ANSWER");
    memory.replace(1020, 10, "FindServer");
    EXPECT_FALSE(detect::is_discovery_reply(memory.data(), 1024));
    EXPECT_TRUE(detect::is_discovery_reply(memory.data(), 1030));

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

struct discovery_case {
    const char* name;
    std::deque<bool> socket_opens;
    std::deque<bool> sends_succeed;
    std::deque<int> wait_results;
    std::optional<fake_reply> reply;
    std::string calls;
    const char* result;  // nullptr: no server
    std::vector<net::interface_address> interfaces = {};
    std::deque<bool> copies_succeed = {};
};

TEST(FindKorvelinServer, FollowsTheScriptedNetwork) {
    const std::string opened = "socket broadcast interfaces route";
    const discovery_case cases[] = {
        {"answer to the first request", {}, {}, {1}, fake_reply{valid_reply, server},
         opened + " send wait receive close", "10.200.0.2"},
        {"no server: five sends, five waits", {}, {}, {}, std::nullopt,
         opened + " " + repeat("send wait", 5) + " close", nullptr},
        {"reply during the third wait", {}, {}, {0, 0, 1}, fake_reply{valid_reply, server},
         opened + " " + repeat("send wait", 3) + " receive close", "10.200.0.2"},
        {"failed send skips its wait", {}, {false, true}, {1}, fake_reply{valid_reply, server},
         opened + " send send wait receive close", "10.200.0.2"},
        {"every send fails", {}, {false, false, false, false, false}, {}, std::nullopt,
         opened + " " + repeat("send", 5) + " close", nullptr},
        {"failed wait sends again", {}, {}, {-1, 1}, fake_reply{valid_reply, server},
         opened + " send wait send wait receive close", "10.200.0.2"},
        {"socket opens on the retry", {false}, {}, {1}, fake_reply{valid_reply, server},
         "socket " + opened + " send wait receive close", "10.200.0.2"},
        {"socket fails twice", {false, false}, {}, {}, std::nullopt, "socket socket", nullptr},
        {"receive fails", {}, {}, {1}, std::nullopt, opened + " send wait receive close",
         nullptr},
        {"rejected first datagram ends discovery", {}, {}, {1},
         fake_reply{"REPLY = FindServer", server}, opened + " send wait receive close", nullptr},
        {"empty datagram", {}, {}, {1}, fake_reply{"", server},
         opened + " send wait receive close", nullptr},
        {"1024 bytes, markers at the end", {}, {}, {1},
         fake_reply{std::string(1008, '-') + "ANSWERFindServer", 0xC0A80101},
         opened + " send wait receive close", "192.168.1.1"},
        {"1025 bytes", {}, {}, {1}, fake_reply{std::string(1009, '-') + "ANSWERFindServer", 1},
         opened + " send wait receive close", nullptr},
        {"address in the text is not used", {}, {}, {1},
         fake_reply{"ANSWER FindServer 192.168.7.7 file:///etc", server},
         opened + " send wait receive close", "10.200.0.2"},
        {"lowest and highest octets", {}, {}, {1}, fake_reply{valid_reply, 0xFF000001},
         opened + " send wait receive close", "255.0.0.1"},
        {"other links get a copy before the wait", {}, {}, {1}, fake_reply{valid_reply, server},
         opened + " send copy copy wait receive close", "10.200.0.2", three_links},
        {"no server: every attempt copies", {}, {}, {}, std::nullopt,
         opened + " " + repeat("send copy copy wait", 5) + " close", nullptr, three_links},
        {"own broadcast and a copy refused, the last copy sent", {}, {false}, {1},
         fake_reply{valid_reply, server}, opened + " send copy copy wait receive close",
         "10.200.0.2", three_links, {false, true}},
        {"every send and copy fails", {}, {false, false, false, false, false}, {}, std::nullopt,
         opened + " " + repeat("send copy copy", 5) + " close", nullptr, three_links,
         std::deque<bool>(10, false)},
    };
    for (const discovery_case& c : cases) {
        reset_fake();
        fake().socket_opens = c.socket_opens;
        fake().sends_succeed = c.sends_succeed;
        fake().wait_results = c.wait_results;
        fake().reply = c.reply;
        fake().interfaces = c.interfaces;
        fake().own_source = three_links[0].address;
        fake().copies_succeed = c.copies_succeed;

        const detect::server_address_text found = detect::find_korvelin_server();

        SCOPED_TRACE(c.name);
        EXPECT_EQ(fake().calls, c.calls);
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
        for (std::size_t i = 0; i < fake().copied_to.size(); ++i) {
            EXPECT_EQ(fake().copied_to[i], three_links[1 + i % 2].address) << "copy " << i;
        }
        for (const long timeout : fake().wait_timeouts) {
            EXPECT_EQ(timeout, 500000);
        }
        if (fake().calls.find("receive") != std::string::npos) {
            EXPECT_EQ(fake().receive_capacity, 1024u);
        }
    }
}

std::vector<std::uint32_t> addresses(std::span<const net::interface_address> rows) {
    std::vector<std::uint32_t> list;
    for (const net::interface_address& row : rows) {
        list.push_back(row.address);
    }
    return list;
}

struct selection_case {
    const char* name;
    net::segment_kind kind;
    std::vector<net::interface_address> rows;
    std::optional<std::uint32_t> own_source;
    std::vector<std::uint32_t> chosen;  // the addresses of the rows picked
};

TEST(ChooseCopySegments, PicksEachOtherSegmentOnce) {
    using enum net::segment_kind;
    const std::uint32_t a = ipv4(10, 2, 0, 1), b = ipv4(10, 3, 0, 1), c = ipv4(10, 2, 0, 9);
    const std::vector<net::interface_address> unusable = {
        lan(ipv4(127, 0, 0, 1), 8, 1, "ul"), lan(a, 24, 2, "b"), lan(a, 24, 3, "up"),
        lan(a, 24, 4, "ubp"), lan(a, 24, 5, "u"), lan(a, 31, 6), lan(a, 32, 7), lan(a, 0, 8),
        lan(a, 24, 0)};  // link 0: cannot be steered through
    const std::vector<net::interface_address> three_addresses_one_link = {
        lan(a, 24, 2), lan(b, 24, 3), lan(ipv4(10, 9, 0, 1), 16, 2), lan(ipv4(10, 9, 1, 1), 16, 2)};
    std::vector<net::interface_address> forty_links;
    for (unsigned link = 1; link <= 40; ++link) {
        forty_links.push_back(lan(ipv4(10, link, 0, 1), 24, link));
    }
    const selection_case cases[] = {
        {"unusable rows on links", link, unusable, std::nullopt, {}},
        {"on subnets, a row without a link counts", subnet, unusable, std::nullopt, {a}},
        {"a link listed three times gets one copy", link, three_addresses_one_link, std::nullopt,
         {a, b}},
        {"each subnet of a link gets its own", subnet, three_addresses_one_link, std::nullopt,
         {a, b, ipv4(10, 9, 0, 1)}},
        {"two adapters on one subnet get one", subnet, {lan(a, 24, 2), lan(c, 24, 3)},
         std::nullopt, {a}},
        {"the own link gets none, its other subnet neither", link, three_addresses_one_link,
         ipv4(10, 9, 1, 1), {b}},
        {"the own subnet gets none, on any adapter", subnet,
         {lan(c, 24, 2), lan(b, 24, 3), lan(a, 24, 4)}, a, {b}},
        {"no more than 32 segments", link, forty_links, std::nullopt,
         addresses({forty_links.data(), 32})},
    };
    for (const selection_case& c : cases) {
        const detect::copy_segments chosen =
            detect::choose_copy_segments(c.rows, c.own_source, c.kind);
        EXPECT_EQ(addresses(chosen.list()), c.chosen) << c.name;
    }
}

struct launcher_case {
    const char* name;
    bool stack_starts;
    std::deque<bool> socket_opens;
    std::deque<int> wait_results;
    std::string calls_after_discovery;
    std::vector<std::string> urls;
    std::vector<std::string> warnings;
};

TEST(RunLauncher, ShowsOneOutcomeAndStopsTheStackItStarted) {
    const launcher_case cases[] = {
        {"server found", true, {}, {1}, "close open_url stop", {"http://10.200.0.2"}, {}},
        {"no server", true, {}, {}, "close warning stop", {}, {"Sorry|Server wasn't found"}},
        {"stack did not start", false, {false, false}, {}, "socket socket warning", {},
         {"Sorry|Server wasn't found"}},
    };
    for (const launcher_case& c : cases) {
        reset_fake();
        fake().stack_starts = c.stack_starts;
        fake().socket_opens = c.socket_opens;
        fake().wait_results = c.wait_results;
        fake().reply = fake_reply{valid_reply, server};

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

TEST(BuildServerUrl, WritesTheUrlOnlyWhenItFits) {
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
    }
}

TEST(OpenInDefaultBrowser, HandsOnlyAUrlThatFitsToTheDesktop) {
    reset_fake();
    detect::open_in_default_browser("10.1.2.3");
    detect::open_in_default_browser(std::string(detect::url_buffer_size, '1').c_str());
    EXPECT_EQ(fake().opened_urls, std::vector<std::string>{"http://10.1.2.3"});
}

}  // namespace
