#include "wide_text.h"

#include <cstdint>

namespace {

constexpr char32_t REPLACEMENT = 0xFFFD;

void appendUtf16(WideString& text, char32_t c)
{
    if (c < 0x10000) {
        text.push_back(static_cast<wchar_t>(c));
        return;
    }
    c -= 0x10000;
    text.push_back(static_cast<wchar_t>(0xD800 + (c >> 10)));
    text.push_back(static_cast<wchar_t>(0xDC00 + (c & 0x3FF)));
}

void appendUtf8(std::string& text, char32_t c)
{
    if (c < 0x80) {
        text.push_back(static_cast<char>(c));
        return;
    }
    const int tail = c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
    static constexpr unsigned char LEAD[] = {0, 0xC0, 0xE0, 0xF0};
    text.push_back(static_cast<char>(LEAD[tail] | (c >> (6 * tail))));
    for (int shift = 6 * (tail - 1); shift >= 0; shift -= 6)
        text.push_back(static_cast<char>(0x80 | ((c >> shift) & 0x3F)));
}

}  // namespace

WideString toUtf16(std::string_view utf8)
{
    WideString wide;
    wide.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        // Each lead byte allows only the second bytes that make a well-formed
        // sequence: no overlong forms, no surrogates, nothing past U+10FFFF.
        std::size_t length = 0;
        unsigned char low = 0x80, high = 0xBF;
        char32_t c = 0;
        if (lead < 0x80) {
            length = 1;
            c = lead;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            c = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            c = lead & 0x0F;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            c = lead & 0x07;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        }
        // A broken sequence is replaced as far as it went well.
        std::size_t used = 1;
        for (; used < length && i + used < utf8.size(); ++used) {
            const auto byte = static_cast<unsigned char>(utf8[i + used]);
            if (byte < (used == 1 ? low : 0x80) || byte > (used == 1 ? high : 0xBF))
                break;
            c = (c << 6) | (byte & 0x3F);
        }
        appendUtf16(wide, used == length ? c : REPLACEMENT);
        i += used;
    }
    return wide;
}

std::string toUtf8(WideStringView utf16)
{
    std::string text;
    text.reserve(utf16.size());
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        // wchar_t is 16 bits on Windows; elsewhere a unit past 0xFFFF is no unit.
        const auto unit = static_cast<std::uint32_t>(utf16[i]);
        const auto next = i + 1 < utf16.size() ? static_cast<std::uint32_t>(utf16[i + 1]) : 0;
        if (unit >= 0xD800 && unit <= 0xDBFF && next >= 0xDC00 && next <= 0xDFFF) {
            appendUtf8(text, 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00));
            ++i;
        } else {
            appendUtf8(text, (unit >= 0xD800 && unit <= 0xDFFF) || unit > 0xFFFF ? REPLACEMENT : unit);
        }
    }
    return text;
}

std::string cutToUtf16Units(std::string_view utf8, std::size_t units)
{
    WideString wide = toUtf16(utf8);
    if (wide.size() <= units)
        return std::string(utf8);
    wide.resize(units);
    if (!wide.empty() && wide.back() >= 0xD800 && wide.back() <= 0xDBFF)
        wide.pop_back();
    return toUtf8(wide);
}
