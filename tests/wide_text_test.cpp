#include "services/wide_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// UTF-16 code units, written out, so that the cases mean the same whatever
// the width of wchar_t.
WideString units(std::initializer_list<unsigned> codes)
{
    WideString text;
    for (unsigned code : codes)
        text.push_back(static_cast<wchar_t>(code));
    return text;
}

TEST(WideText, WellFormedTextRoundTrips)
{
    struct Case {
        const char* utf8;
        WideString utf16;
    };
    const Case cases[] = {
        {"", {}},
        {"C:\\adb.exe", units({'C', ':', '\\', 'a', 'd', 'b', '.', 'e', 'x', 'e'})},
        {"\xc5\x81\xc3\xb3\x64\xc5\xba", units({0x141, 0xF3, 'd', 0x17A})},  // Łódź
        {"\xe6\x9d\xb1\xe4\xba\xac", units({0x6771, 0x4EAC})},              // 東京
        {"\xf0\x9f\xa4\x96", units({0xD83E, 0xDD16})},                        // a robot, past U+FFFF
        {"\xef\xbf\xbf\xf4\x8f\xbf\xbf", units({0xFFFF, 0xDBFF, 0xDFFF})},    // the last code points
    };
    for (const Case& c : cases) {
        EXPECT_EQ(toUtf16(c.utf8), c.utf16) << c.utf8;
        EXPECT_EQ(toUtf8(c.utf16), c.utf8) << c.utf8;
    }
}

TEST(WideText, IllFormedPiecesBecomeReplacementCharacters)
{
    const unsigned R = 0xFFFD;
    struct Case {
        const char* what;
        std::string utf8;
        WideString utf16;
    };
    const Case cases[] = {
        {"stray continuation byte", "a\x80z", units({'a', R, 'z'})},
        {"bytes never used", "\xc0\xc1\xf5\xff", units({R, R, R, R})},
        {"overlong slash", "\xc0\xaf", units({R, R})},
        {"surrogate written as UTF-8", "\xed\xa0\x80", units({R, R, R})},
        {"past U+10FFFF", "\xf4\x90\x80\x80", units({R, R, R, R})},
        {"cut short at the end", "ab\xe6\x9d", units({'a', 'b', R})},
        {"cut short before ASCII", "\xf0\x9f\xa4z", units({R, 'z'})},
    };
    for (const Case& c : cases)
        EXPECT_EQ(toUtf16(c.utf8), c.utf16) << c.what;

    EXPECT_EQ(toUtf8(units({'a', 0xD800, 'b'})), "a\xef\xbf\xbd" "b") << "lone high surrogate";
    EXPECT_EQ(toUtf8(units({0xDC00, 0xD800})), "\xef\xbf\xbd\xef\xbf\xbd") << "pair in the wrong order";
    EXPECT_EQ(toUtf8(units({'x', 0xDBFF})), "x\xef\xbf\xbd") << "high surrogate at the end";
}

}  // namespace
