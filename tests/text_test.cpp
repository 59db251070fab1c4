// The text library alone: escaping, UTF-16, widths and the Unicode tables
// held against Unicode's own files, an address's dotted text.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "ipv4_text.h"
#include "net.h"
#include "text_line.h"
#include "unicode_tables.h"
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

TEST(ParseIpv4, TakesTheFormFormatIpv4WritesAndNothingElse) {
    const struct {
        const char* text;
        std::optional<std::uint32_t> address;
    } cases[] = {
        {"10.200.0.2", 0x0AC80002}, {"0.0.0.0", 0}, {"255.255.255.255", 0xFFFFFFFF}, {"1.255.99.0", 0x01FF6300},
        {"300.1.1.1", {}}, {"010.1.1.1", {}}, {"1.2.3.00", {}}, {"1.2.3", {}}, {"1.2.3.4.5", {}},
        {"1.2.3.4 ", {}}, {" 1.2.3.4", {}}, {"1..3.4", {}}, {"1.2.3.", {}}, {"1234.1.1.1", {}},
        {"server.example", {}}, {"", {}}, {"0x7f.0.0.1", {}}, {"+1.2.3.4", {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(detect::parse_ipv4(c.text), c.address) << c.text;
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
        {"\xe0\x9f\xbf", true, "\\xe0\\x9f\\xbf"},  // an overlong U+07FF, which no rule else escapes
        {"\xe4\xbb\xe4\xbb\xa5", true, "\\xe4\\xbb\xe4\xbb\xa5"},  // a cut character before a whole one
        // What shows as nothing: two Hangul fillers, a variation selector.
        {"\xe3\x85\xa4\xe3\x85\xa4", true, "\\xe3\\x85\\xa4\\xe3\\x85\\xa4"},
        {"Wi-Fi\xef\xb8\x80", true, "Wi-Fi\\xef\\xb8\\x80"},
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

TEST(DisplayWidth, CountsTheColumnsATerminalDraws) {
    const struct {
        const char* text;
        std::size_t columns;
    } cases[] = {
        {"\xe4\xbb\xa5\xe5\xa4\xaa\xe7\xbd\x91 k\xc3\xbc\xff", 10},  // CJK, Latin, a stray byte
        // Thai "Ethernet": 11 characters, 3 of them marks above or below.
        {"\xe0\xb8\xad\xe0\xb8\xb5\xe0\xb9\x80\xe0\xb8\x97\xe0\xb8\xad\xe0\xb8\xa3"
         "\xe0\xb9\x8c\xe0\xb9\x80\xe0\xb8\x99\xe0\xb9\x87\xe0\xb8\x95", 8},
        {"e\xcc\x81", 1},                                   // e and a combining acute
        {"\xe0\xa4\xa8\xe0\xa5\x87\xe0\xa4\x9f\xe0\xa5\x8d", 2},  // Devanagari with a vowel sign and a virama
        {"\xe1\x84\x92\xe1\x85\xa1\xe1\x86\xab", 2},   // Hangul from its jamo: initial, medial, final
        {"Wi-Fi\xef\xb8\x80", 5},                          // a variation selector shows as nothing raw
    };
    for (const auto& c : cases) {
        EXPECT_EQ(detect::display_width(c.text), c.columns) << c.text;
    }
}

// A UAX #44 data file's records: fields split on ';', the spaces around
// them trimmed, comments gone.
std::vector<std::vector<std::string>> records(const std::string& name) {
    std::vector<std::vector<std::string>> all;
    std::ifstream file("/usr/share/unicode/" + name);
    for (std::string line; std::getline(file, line);) {
        line = line.substr(0, line.find('#'));
        std::vector<std::string> fields;
        for (std::size_t start = 0, end = 0; end != std::string::npos; start = end + 1) {
            end = line.find(';', start);
            std::string field = line.substr(start, end == std::string::npos ? end : end - start);
            field.erase(0, field.find_first_not_of(" \t"));
            field.erase(field.find_last_not_of(" \t") + 1);
            fields.push_back(field);
        }
        if (fields.size() > 1) {
            all.push_back(fields);
        }
    }
    return all;
}

// Every code point of "1100..115F" or "231A" into set.
void insert_code_points(const std::string& field, std::set<char32_t>& set) {
    const std::size_t dots = field.find("..");
    const unsigned long first = std::stoul(field.substr(0, dots), nullptr, 16);
    const unsigned long last = dots == std::string::npos ? first : std::stoul(field.substr(dots + 2), nullptr, 16);
    for (unsigned long c = first; c <= last; ++c) {
        set.insert(static_cast<char32_t>(c));
    }
}

// The tables as Unicode's own files of their version give them, for every
// code point.
TEST(UnicodeTables, AgreeWithTheUnicodeData) {
#ifdef _WIN32
    GTEST_SKIP() << "Debian's unicode-data is read by the native tests";
#endif
    std::ifstream readme("/usr/share/unicode/ReadMe.txt");
    ASSERT_TRUE(readme) << "Debian's unicode-data is not installed";
    const std::string text{std::istreambuf_iterator<char>(readme), {}};
    const std::size_t at = text.find("Version ");
    const std::string installed = at == std::string::npos ? "?" : text.substr(at + 8, text.find_first_not_of("0123456789.", at + 8) - at - 8);
    if (installed != detect::unicode_version()) {
        GTEST_SKIP() << "the tables were made from Unicode " << detect::unicode_version()
                     << "'s data; the installed data is Unicode " << installed
                     << "'s: run scripts/make-unicode-tables";
    }
    std::set<char32_t> escaped, no_column, wide, right_to_left;
    for (const auto& fields : records("UnicodeData.txt")) {  // "200B;ZERO WIDTH SPACE;Cf;0;BN;..."
        const std::string& category = fields.at(2);
        std::set<char32_t>* kind = category == "Cf" || category == "Zl" || category == "Zp" ? &escaped
                                   : category == "Mn" || category == "Me"                   ? &no_column
                                                                                            : nullptr;
        if (kind != nullptr) {
            insert_code_points(fields[0], *kind);
        }
        if (fields.at(4) == "R" || fields[4] == "AL") {
            insert_code_points(fields[0], right_to_left);
        }
    }
    for (const auto& fields : records("DerivedCoreProperties.txt")) {  // "00AD ; Default_Ignorable_Code_Point"
        if (fields[1] == "Default_Ignorable_Code_Point") {
            insert_code_points(fields[0], escaped);
        }
    }
    insert_code_points("1160..11FF", no_column);  // Hangul medial and final jamo
    insert_code_points("D7B0..D7FF", no_column);
    for (const auto& fields : records("EastAsianWidth.txt")) {  // "1100..115F;W", "3000 ; F"
        if (fields[1] == "W" || fields[1] == "F") {
            insert_code_points(fields[0], wide);
        }
    }
    for (char32_t c = 0xA0; c <= 0x10FFFF; c = c == 0xD7FF ? 0xE000 : c + 1) {  // no surrogates
        const std::u16string utf16 = c < 0x10000 ? std::u16string(1, static_cast<char16_t>(c))
                                                 : std::u16string{static_cast<char16_t>(0xD7C0 + (c >> 10)),
                                                                  static_cast<char16_t>(0xDC00 | (c & 0x3FF))};
        char utf8[8];
        const std::size_t length = detect::utf8_from_utf16(utf16, utf8);
        const bool is_escaped = detect::escape_text({utf8, length}, true).view()[0] == '\\';
        const std::size_t columns = detect::display_width({utf8, length});
        const std::size_t expected = escaped.contains(c) || no_column.contains(c) ? 0 : wide.contains(c) ? 2 : 1;
        ASSERT_TRUE(is_escaped == escaped.contains(c) && columns == expected &&
                    detect::has_right_to_left({utf8, length}) == right_to_left.contains(c))
            << std::hex << "U+" << static_cast<unsigned long>(c) << " escaped " << is_escaped << ", "
            << columns << " columns";
    }
}

}  // namespace
