// libFuzzer target: arbitrary bytes as a web server's or a proxy's answer
// to the page's GET. The first byte cuts the input into two receives; the
// head's reading must stay within the bytes, the exchange within its
// bounds, and the report and its last line free of raw control bytes.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fake_platform.h"
#include "journey.h"
#include "probe.h"
#include "probe_report.h"

namespace {

void fail(const char* what) {
    std::fprintf(stderr, "head_fuzzer: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const detect::http_head head = detect::read_http_head(input);
    if (head.status_size > input.size() || head.location_at + head.location_size > input.size() ||
        (head.state == detect::head_state::complete && (head.code < 100 || head.code > 999))) {
        fail("the head read past its bytes, or a complete one has no status code");
    }
    const std::size_t cut = size == 0 ? 0 : data[0] % size;
    reset_fake({.wait_results = {1},
                .replies = {{"ANSWER = FindServer\n", 0x0AC80002}},
                .connections = {{.chunks = {input.substr(0, cut), input.substr(cut)}, .stays_open = (size & 1) != 0}}});
    detect::probe_report report = detect::run_probe();
    report.page = detect::follow_hand_off(report);
    if (report.page.direct.size > detect::head_capacity || fake().sockets_open != 0) {
        fail("read past the head's bound, or a socket left open");
    }
    detect::print_report(stdout, report, "fuzz");
    for (const char byte : fake().written) {
        if (byte != '\n' && static_cast<unsigned char>(byte) < 0x20) {
            fail("a raw control byte in the report");
        }
    }
    if (detect::conclusion(report).length + 1 > 2048) {
        fail("the last line is over 2,048 characters");
    }
    return 0;
}
