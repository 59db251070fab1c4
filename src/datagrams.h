// The discovery exchange's two datagrams: the request the client
// broadcasts, and the rule by which it accepts a reply.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace detect {

// The discovery request, byte for byte; no NUL goes on the wire.
inline constexpr std::string_view discovery_request =
    "REQUEST = FindServer\n"
    "PRODUCT = korvelin\n"
    "PROTOCOL = 0.1\n";
static_assert(discovery_request.size() == 55);

inline constexpr std::uint16_t discovery_port = 5501;
inline constexpr std::uint32_t limited_broadcast = 0xFFFFFFFFu;
inline constexpr int discovery_attempts = 5;
inline constexpr long reply_wait_microseconds = 500000;
inline constexpr std::size_t reply_buffer_size = 1024;

// The acceptance rule's verdict on one datagram, with its cause.
enum class reply_verdict : unsigned char {
    accepted,
    no_answer_marker,      // "ANSWER" is nowhere in it
    no_findserver_marker,  // "FindServer" is nowhere in it
    marker_after_nul,      // a marker stands only past the text's end, its first NUL
    oversized,             // longer than the client's buffer: its receive fails
};

// Judges size received bytes: accepted when they are no longer than the
// client's buffer and carry both markers, "ANSWER" and "FindServer",
// case-sensitive, anywhere before the first NUL. "ANSWER" is looked for
// first, as the client does. Never reads past size.
reply_verdict judge_reply(const char* data, std::size_t size);

// judge_reply's verdict being "accepted".
bool is_discovery_reply(const char* data, std::size_t size);

// The short reason for a verdict, as the probe prints it.
const char* describe(reply_verdict verdict);

}  // namespace detect
