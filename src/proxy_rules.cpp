// The proxy list and the bypass list, matched without the system's help:
// the system resolves only a script's proxy for a URL. Views are cut by
// hand: substr() may throw, and would bring exceptions into the exe.
#include "proxy_rules.h"

#include <algorithm>
#include <numeric>

namespace detect {
namespace {

bool is_separator(char c) { return c == ';' || c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The next entry of a list, from at on; empty at its end.
std::string_view next_entry(std::string_view list, std::size_t& at) {
    while (at < list.size() && is_separator(list[at])) {
        ++at;
    }
    const std::size_t start = at;
    while (at < list.size() && !is_separator(list[at])) {
        ++at;
    }
    return {list.data() + start, at - start};
}

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool starts_with_word(std::string_view text, std::string_view word) {
    if (text.size() < word.size()) {
        return false;
    }
    for (std::size_t i = 0; i < word.size(); ++i) {
        if (lower(text[i]) != word[i]) {
            return false;
        }
    }
    return true;
}

// Whether text matches pattern, "*" standing for any run of characters:
// the last star's place is tried further on at each mismatch.
bool matches(std::string_view pattern, std::string_view text) {
    std::size_t p = 0;
    std::size_t t = 0;
    std::size_t star = std::string_view::npos;
    std::size_t star_text = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            star_text = t;
        } else if (p < pattern.size() && lower(pattern[p]) == lower(text[t])) {
            ++p;
            ++t;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            t = ++star_text;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}

}  // namespace

std::string_view http_proxy_entry(std::string_view list) {
    std::string_view any_scheme;
    std::size_t at = 0;
    for (std::string_view entry = next_entry(list, at); !entry.empty(); entry = next_entry(list, at)) {
        if (starts_with_word(entry, "http=")) {
            entry.remove_prefix(5);
            return entry;
        }
        if (any_scheme.empty() && entry.find('=') == std::string_view::npos) {
            any_scheme = entry;
        }
    }
    return any_scheme;
}

bool has_socks_entry(std::string_view list) {
    std::size_t at = 0;
    for (std::string_view entry = next_entry(list, at); !entry.empty(); entry = next_entry(list, at)) {
        if (starts_with_word(entry, "socks=")) {
            return true;
        }
    }
    return false;
}

proxy_server server_of(std::string_view entry) {
    if (const std::size_t scheme_end = entry.find("://"); scheme_end != std::string_view::npos) {
        entry.remove_prefix(scheme_end + 3);
    }
    entry = {entry.data(), std::min(entry.find('/'), entry.size())};
    const std::size_t colon = entry.rfind(':');
    if (colon == std::string_view::npos) {
        return {entry, 80};
    }
    const std::string_view digits{entry.data() + colon + 1, entry.size() - colon - 1};
    // Past 65535 or at a non-digit it stays out of range.
    const unsigned long port = std::accumulate(digits.begin(), digits.end(), 0UL, [](unsigned long sum, char c) {
        return c >= '0' && c <= '9' && sum <= 65535 ? sum * 10 + static_cast<unsigned long>(c - '0') : 65536UL;
    });
    const bool valid = !digits.empty() && port >= 1 && port <= 65535;
    return {{entry.data(), colon}, static_cast<std::uint16_t>(valid ? port : 0)};
}

bool bypasses(std::string_view list, std::string_view host) {
    std::size_t at = 0;
    for (std::string_view entry = next_entry(list, at); !entry.empty(); entry = next_entry(list, at)) {
        if (starts_with_word(entry, "<local>") && entry.size() == 7) {
            if (host.find('.') == std::string_view::npos) {
                return true;
            }
        } else if (matches(entry, host)) {
            return true;
        }
    }
    return false;
}

}  // namespace detect
