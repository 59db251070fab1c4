// The text library alone: escaping, UTF-16, widths and the Unicode tables
// held against Unicode's own files, an address's dotted text.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "ipv4_text.h"
#include "net.h"
#include "text_line.h"
#include "utf8.h"

using namespace std::string_literals;

namespace {

TEST(FormatIpv4, WritesDottedDecimalWithoutLeadingZeros) {
    const struct {
        std::uint32_t address;
        const char* text;
    } cases[] = {{0, "0.0.0.0"},           {0xFFFFFFFF, "255.255.255.255"},
                 {0x7F000001, "127.0.0.1"}, {0x0AC80002, "10.200.0.2"},
                 {0x64000A09, "100.0.10.9"}, {0x01FF6300, "1.255.99.0"},
                 {0xC0A8000A, "192.168.0.10"}};
    for (const auto& c : cases) {
        char text[detect::ipv4_text_size];
        std::fill(std::begin(text), std::end(text), '#');
        EXPECT_EQ(detect::format_ipv4(c.address, text), std::strlen(c.text)) << c.text;
        EXPECT_STREQ(text, c.text);
    }
}

TEST(EscapeText, WritesNoControlByteAndKeepsOnlyWholeCharacters) {
    const struct {
        std::string bytes;
        bool keep_utf8;
        const char* shown;
    } cases[] = {
        {"ANSWER = FindServer", false, "ANSWER = FindServer"},
        {"\x1b[2J\x1b]0;owned\x07", false, "\\x1b[2J\\x1b]0;owned\\x07"},
        {"line\r\n\tend", false, "line\\x0d\\x0a\\x09end"},
        {"\x7f\x80\xc3\xa9\xff", false, "\\x7f\\x80\\xc3\\xa9\\xff"},
        {"a\0b"s, false, "a\\x00b"},
        {"C:\\x41", false, "C:\\\\x41"},
        // Names: a Linux link's bytes, a Windows adapter's UTF-8.
        {"ke\x1bx", true, "ke\\x1bx"},
        {"k\xc3\xbc", true, "k\xc3\xbc"},
        {"\xe4\xbb\xa5\xe5\xa4\xaa\xe7\xbd\x91 \xf0\x9f\x8c\x90", true, "\xe4\xbb\xa5\xe5\xa4\xaa\xe7\xbd\x91 \xf0\x9f\x8c\x90"},
        {"\xc2\x9b" "2J", true, "\\xc2\\x9b2J"},  // C1 CSI
        {"cut \xe4\xbb", true, "cut \\xe4\\xbb"},
        {"cut \xe4\xbb" "A. \xe4", true, "cut \\xe4\\xbbA. \\xe4"},
        {"\xed\xa0\x80 \xe0\x80\xaf \xf8", true, "\\xed\\xa0\\x80 \\xe0\\x80\\xaf \\xf8"},
        // What reorders or hides the rest of a pasted row: U+202E, U+2067,
        // U+200B, U+FEFF, U+2028.
        {"a\xe2\x80\xae" "b\xe2\x81\xa7" "c", true, "a\\xe2\\x80\\xaeb\\xe2\\x81\\xa7c"},
        {"\xe2\x80\x8b\xef\xbb\xbf\xe2\x80\xa8.", true, "\\xe2\\x80\\x8b\\xef\\xbb\\xbf\\xe2\\x80\\xa8."},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(detect::escape_text(c.bytes, c.keep_utf8).view(), c.shown) << c.shown;
    }
}

TEST(Utf8FromUtf16, KeepsWindowsNamesWholeInAnyScript) {
    const std::string chinese = "\xe4\xbb\xa5\xe5\xa4\xaa\xe7\xbd\x91";  // Ethernet, 3 characters
    std::string sixty_four_chinese;
    for (int i = 0; i < 64; ++i) {
        sixty_four_chinese += "\xe7\xbd\x91";
    }
    const struct {
        std::u16string utf16;
        std::size_t room;
        std::string utf8;
    } cases[] = {
        {u"vEthernet (WSL (Hyper-V firewall))", net::interface_name_size,
         "vEthernet (WSL (Hyper-V firewall))"},
        {u"\u4ee5\u592a\u7f51", net::interface_name_size, chinese},
        {u"\u041f\u043e\u0434\u043a\u043b\u044e\u0447\u0435\u043d\u0438\u0435", net::interface_name_size,
         "\xd0\x9f\xd0\xbe\xd0\xb4\xd0\xba\xd0\xbb\xd1\x8e\xd1\x87\xd0\xb5\xd0\xbd\xd0\xb8\xd0\xb5"},
        {std::u16string(64, u'\u7f51'), net::interface_name_size, sixty_four_chinese},
        {u"\U0001F310 net", 16, "\xf0\x9f\x8c\x90 net"},
        {u"a\xD800" u"b", 16, "a\xef\xbf\xbd" "b"},
        {u"\u4ee5\u592a\u7f51", 9, "\xe4\xbb\xa5\xe5\xa4\xaa"},  // no room for the third and the NUL
        {u"", 1, ""},
    };
    for (const auto& c : cases) {
        std::vector<char> to(c.room, '#');
        const std::size_t length = detect::utf8_from_utf16(c.utf16, to);
        EXPECT_EQ(std::string(to.data(), length), c.utf8) << c.utf8;
        EXPECT_EQ(to[length], '\0') << c.utf8;
    }
}

// Both tables as Unicode's own files give them, for every code point.
TEST(UnicodeTables, AgreeWithTheUnicodeData) {
    EXPECT_EQ(detect::display_width("\xe4\xbb\xa5\xe5\xa4\xaa\xe7\xbd\x91 k\xc3\xbc\xff"), 10u);
#ifdef _WIN32
    GTEST_SKIP() << "Debian's unicode-data is read by the native tests";
#endif
    std::ifstream data("/usr/share/unicode/UnicodeData.txt");
    std::ifstream widths("/usr/share/unicode/EastAsianWidth.txt");
    ASSERT_TRUE(data && widths) << "Debian's unicode-data is not installed";
    std::set<char32_t> hidden, wide;
    unsigned long first = 0, last = 0;
    char kind[3] = {};
    for (std::string line; std::getline(data, line);) {  // "200B;ZERO WIDTH SPACE;Cf;..."
        if (std::sscanf(line.c_str(), "%lx;%*[^;];%2s", &first, kind) == 2 &&
            (kind == "Cf"s || kind == "Zl"s || kind == "Zp"s)) {
            hidden.insert(static_cast<char32_t>(first));
        }
    }
    for (std::string line; std::getline(widths, line);) {  // "1100..115F;W", "231A;W", "# ..."
        const int read = std::sscanf(line.c_str(), "%lx..%lx;%2[A-Za]", &first, &last, kind);
        if (read == 3 || (read == 1 && std::sscanf(line.c_str(), "%lx;%2[A-Za]", &last, kind) == 2)) {
            for (unsigned long c = first; (kind == "W"s || kind == "F"s) && c <= last; ++c) {
                wide.insert(static_cast<char32_t>(c));
            }
        }
    }
    for (char32_t c = 0xA0; c <= 0x10FFFF; c = c == 0xD7FF ? 0xE000 : c + 1) {  // no surrogates
        const std::u16string utf16 = c < 0x10000 ? std::u16string(1, static_cast<char16_t>(c))
                                                 : std::u16string{static_cast<char16_t>(0xD7C0 + (c >> 10)),
                                                                  static_cast<char16_t>(0xDC00 | (c & 0x3FF))};
        char utf8[8];
        const std::size_t length = detect::utf8_from_utf16(utf16, utf8);
        const bool escaped = detect::escape_text({utf8, length}, true).view()[0] == '\\';
        const std::size_t columns = detect::display_width({utf8, length});
        ASSERT_TRUE(escaped == hidden.contains(c) && columns == (wide.contains(c) ? 2u : 1u))
            << std::hex << "U+" << static_cast<unsigned long>(c) << " escaped " << escaped << ", "
            << columns << " columns";
    }
}

}  // namespace
