// Text inside Velmora is UTF-8; Windows' wide calls take and give UTF-16.
// These two convert at such a call and nowhere else. Ill-formed input (a
// broken UTF-8 sequence, a lone surrogate) becomes U+FFFD, one for each
// broken piece, as Windows' own converters do; well-formed text round-trips
// exactly.
#pragma once

#include <string>
#include <string_view>

// UTF-16 code units, one per wchar_t whatever its width, so that the rule is
// the same (and tested) on every OS. A string type of its own, because
// std::wstring would link all of the C++ library's wide strings (24 KiB) into
// the program; this one compiles only what is used.
struct WideTraits : std::char_traits<wchar_t> {};
using WideString = std::basic_string<wchar_t, WideTraits>;
using WideStringView = std::basic_string_view<wchar_t, WideTraits>;

WideString toUtf16(std::string_view utf8);
std::string toUtf8(WideStringView utf16);

// The longest start of the text that takes at most `units` UTF-16 units,
// cut between characters (a pair of surrogates stays whole or goes whole).
std::string cutToUtf16Units(std::string_view utf8, std::size_t units);
