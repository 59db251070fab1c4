// A stand-in korvelin server for the end-to-end tests. Listens on UDP 5501
// and, for every datagram, appends "MILLISECONDS SIZE request|other
// DESTINATION" to the log file (the address the datagram was sent to:
// 255.255.255.255, a subnet's broadcast address, ...), then answers the
// sender with each reply in order. The log file appears once the port is
// bound: callers wait for it.
//
//   responder LOG [--unicast-only] [--delay MS] [--send TEXT | --send-size N | --send-from ADDRESS TEXT]...
//
// --unicast-only answers only what was sent to this host's own address,
// as a server behind a firewall that drops broadcasts would; it still logs
// every datagram.
// --delay MS waits that long before answering each datagram, as a slower
// server on another segment would.
// --send-size N sends "ANSWER = FindServer\n" padded with dots to N bytes,
// or N dots when N is below its 20 bytes (0: an empty datagram).
// --send-from sends TEXT from ADDRESS, another address of this host, as a
// second host on the segment would. Runs until it is killed.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <time.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

// Written out here rather than taken from the program, so that a change to
// the program's request shows up as "other" in the log.
constexpr std::string_view expected_request =
    "REQUEST = FindServer\nPRODUCT = korvelin\nPROTOCOL = 0.1\n";
constexpr unsigned short discovery_port = 5501;

struct reply {
    std::string text;
    int from = -1;  // the socket it goes out from; -1: the listener
};

// A socket bound to address, any port, to send from.
int socket_at(const char* address) {
    const int sender = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    if (sender < 0 || inet_pton(AF_INET, address, &local.sin_addr) != 1 ||
        bind(sender, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        std::perror("responder: --send-from");
        std::exit(1);
    }
    return sender;
}

std::string reply_of_size(std::size_t size) {
    std::string reply = "ANSWER = FindServer\n";
    reply.resize(size, '.');
    return size < 20 ? std::string(size, '.') : reply;
}

long long monotonic_ms() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: responder LOG [--send TEXT | --send-size N | --send-from ADDRESS TEXT]...\n");
        return 2;
    }
    std::vector<reply> replies;
    long delay_ms = 0;
    bool unicast_only = false;
    for (int i = 2; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--unicast-only") {
            unicast_only = true;
        } else if (i + 1 == argc) {
            std::fprintf(stderr, "responder: %s wants a value\n", argv[i]);
            return 2;
        } else if (option == "--delay") {
            delay_ms = std::strtol(argv[++i], nullptr, 10);
        } else if (option == "--send-from" && i + 2 < argc) {
            replies.push_back({argv[i + 2], socket_at(argv[i + 1])});
            i += 2;
        } else {
            ++i;
            replies.push_back({option == "--send-size" ? reply_of_size(std::strtoul(argv[i], nullptr, 10))
                                                       : std::string(argv[i])});
        }
    }

    const int listener = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(discovery_port);
    if (listener < 0 ||
        bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        std::perror("responder: bind");
        return 1;
    }
    const int on = 1;
    setsockopt(listener, IPPROTO_IP, IP_PKTINFO, &on, sizeof on);
    std::FILE* log = std::fopen(argv[1], "a");
    if (log == nullptr) {
        std::perror("responder: log");
        return 1;
    }
    std::vector<char> datagram(65536);
    for (;;) {
        sockaddr_in client{};
        iovec into{datagram.data(), datagram.size()};
        alignas(cmsghdr) std::array<char, CMSG_SPACE(sizeof(in_pktinfo))> control{};
        msghdr message{};
        message.msg_name = &client;
        message.msg_namelen = sizeof client;
        message.msg_iov = &into;
        message.msg_iovlen = 1;
        message.msg_control = control.data();
        message.msg_controllen = control.size();
        const ssize_t size = recvmsg(listener, &message, 0);
        if (size < 0) {
            continue;
        }
        in_addr destination{}, own{};
        for (cmsghdr* header = CMSG_FIRSTHDR(&message); header != nullptr;
             header = CMSG_NXTHDR(&message, header)) {
            if (header->cmsg_level == IPPROTO_IP && header->cmsg_type == IP_PKTINFO) {
                in_pktinfo info{};
                std::memcpy(&info, CMSG_DATA(header), sizeof info);
                destination = info.ipi_addr;
                own = info.ipi_spec_dst;
            }
        }
        char destination_text[INET_ADDRSTRLEN] = "?";
        inet_ntop(AF_INET, &destination, destination_text, sizeof destination_text);
        const bool is_request =
            std::string_view(datagram.data(), static_cast<std::size_t>(size)) ==
            expected_request;
        std::fprintf(log, "%lld %zd %s %s\n", monotonic_ms(), size, is_request ? "request" : "other",
                     destination_text);
        std::fflush(log);
        if (delay_ms > 0) {
            const timespec delay{delay_ms / 1000, delay_ms % 1000 * 1000000};
            nanosleep(&delay, nullptr);
        }
        // A broadcast was sent to another address than this host's own.
        if (unicast_only && destination.s_addr != own.s_addr) {
            continue;
        }
        for (const reply& answer : replies) {
            sendto(answer.from >= 0 ? answer.from : listener, answer.text.data(), answer.text.size(), 0,
                   reinterpret_cast<const sockaddr*>(&client), message.msg_namelen);
        }
    }
}
