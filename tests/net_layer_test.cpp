// The real socket layer (Winsock or POSIX) over loopback: what discovery
// relies on from it, on this platform's own semantics.
#include "net.h"
#include "system_dlls.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <iterator>
#include <string>
#include <tuple>

#ifdef _WIN32
#include <winsock2.h>
using address_length = int;
constexpr net::error_code message_too_long = WSAEMSGSIZE;
#else
#include <arpa/inet.h>
#include <netinet/in.h>

#include <cerrno>
#include <sys/socket.h>
using address_length = socklen_t;
constexpr net::error_code message_too_long = EMSGSIZE;
#endif

namespace {

constexpr std::uint32_t loopback = 0x7F000001;

// A peer bound to an ephemeral loopback port, standing in for a server.
struct loopback_peer {
    net::socket_guard socket{net::open_udp_socket()};
    net::ipv4_endpoint endpoint{loopback, 0};

    loopback_peer() {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(loopback);
        address_length length = sizeof address;
        auto* raw = reinterpret_cast<sockaddr*>(&address);
        if (bind(socket.get(), raw, length) == 0 && getsockname(socket.get(), raw, &length) == 0) {
            endpoint.port = ntohs(address.sin_port);
        }
    }

    // Waits for one datagram and answers its sender with reply.
    bool answer(const std::string& reply) {
        char request[64];
        sockaddr_in client{};
        address_length length = sizeof client;
        if (net::wait_until_readable(socket.get(), 2000000) <= 0 ||
            recvfrom(socket.get(), request, sizeof request, 0, reinterpret_cast<sockaddr*>(&client),
                     &length) < 0) {
            return false;
        }
        return sendto(socket.get(), reply.data(), static_cast<int>(reply.size()), 0,
                      reinterpret_cast<const sockaddr*>(&client), length) >= 0;
    }
};

class NetLayer : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(net::start_network_stack()); }
    void TearDown() override { net::stop_network_stack(); }
};

TEST_F(NetLayer, ReceivesWholeDatagramsAndFailsOversizedOnes) {
    const struct {
        std::size_t size;
        long received;
    } cases[] = {{0, 0}, {1, 1}, {55, 55}, {1024, 1024}, {1025, -1}, {4000, -1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        loopback_peer peer;
        ASSERT_NE(peer.endpoint.port, 0);
        net::socket_guard client{net::open_udp_socket()};
        ASSERT_NE(client.get(), net::invalid_socket);
        ASSERT_TRUE(net::send_datagram(client.get(), "hello", 5, peer.endpoint));

        std::string reply(c.size, 'r');
        if (c.size > 0) {
            reply.front() = 'A';
            reply.back() = 'Z';
        }
        ASSERT_TRUE(peer.answer(reply));
        ASSERT_GT(net::wait_until_readable(client.get(), 2000000), 0);

        char buffer[1024 + 16];
        std::fill(std::begin(buffer), std::end(buffer), '\x7f');
        net::ipv4_endpoint sender;
        const long received = net::receive_datagram(client.get(), buffer, 1024, sender);
        const net::error_code error = net::last_error();
        EXPECT_EQ(received, c.received);
        if (c.received < 0) {
            EXPECT_EQ(error, message_too_long);
        } else {
            EXPECT_EQ(std::string(buffer, static_cast<std::size_t>(c.received)), reply);
            EXPECT_EQ(sender.address, loopback);
            EXPECT_EQ(sender.port, peer.endpoint.port);
        }
        EXPECT_EQ(buffer[1024], '\x7f') << "wrote past the capacity";
    }
}

TEST_F(NetLayer, WaitTimesOutWhenNothingArrives) {
    loopback_peer peer;
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(net::wait_until_readable(peer.socket.get(), 100000), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(90));
}

TEST_F(NetLayer, ListsTheLoopbackInterfaceAsItIs) {
    // Up, loopback, 255.0.0.0, named: a wrong flag mapping would give it
    // a copy of every request, or take one from a real segment. Named with
    // the DLL search kept to System32, as the probe names it.
    platform::load_dlls_from_system32_only();
    const net::socket_guard socket{net::open_udp_socket()};
    std::array<net::interface_address, net::max_interface_addresses> rows{};
    const std::size_t count = net::list_interface_addresses(socket.get(), rows).value_or(0);
    std::array<net::interface_name, net::max_interface_addresses> names{};
    EXPECT_EQ(net::name_interfaces({rows.data(), count}, names), 0);
    const auto* row = std::find_if(rows.data(), rows.data() + count,
                                   [](const net::interface_address& r) { return r.address == loopback; });
    ASSERT_NE(row, rows.data() + count) << count << " rows, none 127.0.0.1";
    EXPECT_EQ(std::tuple(row->up, row->loopback, row->broadcast, row->point_to_point, row->netmask),
              std::tuple(true, true, false, false, 0xFF000000u));
    EXPECT_STRNE(names[static_cast<std::size_t>(row - rows.data())].text, "");
}

TEST_F(NetLayer, SendOnAClosedSocketFailsAndSaysWhy) {
    const net::socket_handle socket = net::open_udp_socket();
    ASSERT_NE(socket, net::invalid_socket);
    EXPECT_TRUE(net::ignore_unreachable_errors(socket));
    net::close_socket(socket);
    EXPECT_FALSE(net::send_datagram(socket, "x", 1, {loopback, 9}));
    EXPECT_NE(net::last_error(), 0);  // EBADF, or WSAENOTSOCK
    // The system's words for a refusal, as it gives them (the report
    // trims them). (Wine's message table has no Winsock texts: EACCES
    // stands in.)
#ifdef _WIN32
    constexpr net::error_code access_denied = 5;  // ERROR_ACCESS_DENIED
#else
    constexpr net::error_code access_denied = EACCES;
#endif
    char text[256] = {};
    net::describe_error(access_denied, text);
    EXPECT_NE(std::string(text).find("denied"), std::string::npos) << text;
}

}  // namespace
