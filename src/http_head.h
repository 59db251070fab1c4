// An HTTP answer's status line and headers, as far as they have come: read
// from bytes that anyone on the network may have sent, so every position
// found lies inside them and nothing is ever read past their end.
#pragma once

#include <cstddef>
#include <string_view>

namespace detect {

// How many bytes of an answer's head are read at the most.
inline constexpr std::size_t head_capacity = 4096;

enum class head_state : unsigned char {
    incomplete,  // no end of the head yet: more may come
    complete,    // a status line and headers up to the empty line
    too_long,    // head_capacity bytes without the empty line
    not_http,    // the first bytes are not "HTTP/", or no status code follows
};

struct http_head {
    head_state state = head_state::incomplete;
    unsigned code = 0;            // the status code, once its line has come whole
    std::size_t status_size = 0;  // the status line's length, its line end left out
    std::size_t location_at = 0;  // the Location header's value, where a complete head has one
    std::size_t location_size = 0;
};

// Reads what has come so far of an answer. A line may end in CR LF or LF
// alone, as lenient clients read it; the status line must begin
// "HTTP/d.d ddd".
http_head read_http_head(std::string_view bytes);

}  // namespace detect
