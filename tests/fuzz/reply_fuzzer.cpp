// libFuzzer target: an arbitrary datagram as the one reply discovery reads.
// The first four bytes choose the sender's address, the rest is the payload;
// the whole input also goes to the acceptance rule on its own, up to 64 KiB.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "launcher.h"
#include "fake_platform.h"

namespace {

// The rule spelt out plainly: both markers in the text before its first NUL.
bool holds_both_markers(const std::string& bytes) {
    const std::string text = bytes.substr(0, bytes.find('\0'));
    return text.find("ANSWER") != std::string::npos && text.find("FindServer") != std::string::npos;
}

void fail(const char* what) {
    std::fprintf(stderr, "reply_fuzzer: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const char* bytes = reinterpret_cast<const char*>(data);
    const std::string input(bytes, size);
    if (detect::is_discovery_reply(bytes, size) !=
        (size <= detect::reply_buffer_size && holds_both_markers(input))) {
        fail("acceptance rule disagrees with a plain search");
    }

    std::uint32_t sender = 0;
    if (size >= 4) {
        std::memcpy(&sender, data, 4);
    }
    const std::string payload = size >= 4 ? input.substr(4) : input;
    // Longer ones never reach the rule: the real layers fail their receive
    // (net_layer_test), which the fake could only be told to do.
    if (payload.size() > detect::reply_buffer_size) {
        return 0;
    }
    const bool acceptable = holds_both_markers(payload);

    reset_fake({.wait_results = {1}, .replies = {fake_reply{payload, sender}}});
    const detect::server_address_text found = detect::find_korvelin_server();

    if (fake().sockets_open != 0) {
        fail("socket left open");
    }
    if ((found != nullptr) != acceptable) {
        fail(found ? "accepted a reply it must reject" : "rejected an acceptable reply");
    }
    if (found != nullptr) {
        char expected[16];
        std::snprintf(expected, sizeof expected, "%u.%u.%u.%u", sender >> 24, (sender >> 16) & 255,
                      (sender >> 8) & 255, sender & 255);
        if (std::strcmp(found.get(), expected) != 0) {
            fail("result is not the sender's dotted-decimal address");
        }
    }
    return 0;
}
