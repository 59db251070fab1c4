#include "datagrams.h"

#include <cstring>

namespace detect {
namespace {

bool contains(std::string_view text, std::string_view marker) {
    return text.find(marker) != std::string_view::npos;
}

// The reply only counts up to its first NUL, as the text a server meant.
std::string_view text_before_nul(std::string_view bytes) {
    const void* nul = std::memchr(bytes.data(), '\0', bytes.size());
    return bytes.substr(0, nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - bytes.data())
                               : bytes.size());
}

}  // namespace

reply_verdict judge_reply(const char* data, std::size_t size) {
    using enum reply_verdict;
    if (size > reply_buffer_size) {
        return oversized;
    }
    const std::string_view bytes{data, size};
    const std::string_view text = text_before_nul(bytes);
    if (!contains(text, "ANSWER")) {
        return contains(bytes, "ANSWER") ? marker_after_nul : no_answer_marker;
    }
    if (!contains(text, "FindServer")) {
        return contains(bytes, "FindServer") ? marker_after_nul : no_findserver_marker;
    }
    return accepted;
}

bool is_discovery_reply(const char* data, std::size_t size) {
    return judge_reply(data, size) == reply_verdict::accepted;
}

const char* describe(reply_verdict verdict) {
    switch (verdict) {
        using enum reply_verdict;
    case accepted: return "accepted";
    case no_answer_marker: return "no \"ANSWER\"";
    case no_findserver_marker: return "no \"FindServer\"";
    case marker_after_nul: return "a marker only after a NUL";
    case oversized:
        static_assert(reply_buffer_size == 1024, "the text names the buffer's size");
        return "over 1024 bytes";
    }
    return "?";
}

}  // namespace detect
