// The head of a web server's answer, read as a browser would begin to.
#include "http_head.h"

#include <algorithm>

namespace detect {
namespace {

constexpr std::string_view http_name = "HTTP/";

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// "HTTP/1.1 200 OK": the code, or 0 where the line has another form.
unsigned status_code(std::string_view line) {
    if (line.size() < 12 || !line.starts_with(http_name) || !is_digit(line[5]) || line[6] != '.' ||
        !is_digit(line[7]) || line[8] != ' ' || line[9] < '1' || line[9] > '9' || !is_digit(line[10]) ||
        !is_digit(line[11]) || (line.size() > 12 && line[12] != ' ')) {
        return 0;
    }
    return static_cast<unsigned>((line[9] - '0') * 100 + (line[10] - '0') * 10 + (line[11] - '0'));
}

// A header's name, matched without regard to case.
bool named(std::string_view line, std::string_view name) {
    if (line.size() <= name.size() || line[name.size()] != ':') {
        return false;
    }
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char c = line[i] >= 'A' && line[i] <= 'Z' ? static_cast<char>(line[i] - 'A' + 'a') : line[i];
        if (c != name[i]) {
            return false;
        }
    }
    return true;
}

bool is_space(char c) { return c == ' ' || c == '\t'; }

}  // namespace

http_head read_http_head(std::string_view bytes) {
    http_head head;
    // Told from the first bytes: views cut by hand, as substr() may throw.
    const std::size_t start = std::min(bytes.size(), http_name.size());
    if (std::string_view{bytes.data(), start} != std::string_view{http_name.data(), start}) {
        head.state = head_state::not_http;
        return head;
    }
    std::size_t at = 0;
    for (bool first = true; at < bytes.size(); first = false) {
        const std::size_t end = bytes.find('\n', at);
        if (end == std::string_view::npos) {
            break;
        }
        std::string_view line{bytes.data() + at, end - at};
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        const std::size_t line_at = at;
        at = end + 1;
        if (first) {
            head.code = status_code(line);
            head.status_size = line.size();
            if (head.code == 0) {
                head.state = head_state::not_http;
                return head;
            }
        } else if (line.empty()) {
            head.state = head_state::complete;
            return head;
        } else if (named(line, "location")) {
            std::size_t value = std::string_view("location:").size();
            std::size_t value_end = line.size();
            while (value < value_end && is_space(line[value])) {
                ++value;
            }
            while (value_end > value && is_space(line[value_end - 1])) {
                --value_end;
            }
            head.location_at = line_at + value;
            head.location_size = value_end - value;
        }
    }
    if (bytes.size() >= head_capacity) {
        head.state = head_state::too_long;
    }
    return head;
}

}  // namespace detect
