// Text inside Velmora is UTF-8; Windows' wide calls take and give UTF-16.
// These two convert at such a call and nowhere else. Ill-formed input (a
// broken UTF-8 sequence, a lone surrogate) becomes U+FFFD, one for each
// broken piece, as Windows' own converters do; well-formed text round-trips
// exactly.
#pragma once

#include <string>
#include <string_view>

// UTF-16 code units, one per wchar_t whatever its width, so that the rule is
// the same (and tested) on every OS.
std::wstring toUtf16(std::string_view utf8);
std::string toUtf8(std::wstring_view utf16);
