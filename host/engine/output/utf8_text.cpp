#include "utf8_text.h"

#include <cstdio>

namespace cyclesim {

namespace {

// Length of the valid UTF-8 sequence starting at s[i], 0 when invalid
// (overlong forms, surrogates and code points beyond U+10FFFF included).
std::size_t sequence_length(const std::string& s, std::size_t i)
{
    const auto at = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char c = at(i);
    if (c < 0x80) return 1;
    std::size_t n;
    unsigned char lo = 0x80, hi = 0xbf;
    if (c >= 0xc2 && c <= 0xdf) n = 2;
    else if (c == 0xe0) n = 3, lo = 0xa0;
    else if (c == 0xed) n = 3, hi = 0x9f;
    else if (c >= 0xe1 && c <= 0xef) n = 3;
    else if (c == 0xf0) n = 4, lo = 0x90;
    else if (c >= 0xf1 && c <= 0xf3) n = 4;
    else if (c == 0xf4) n = 4, hi = 0x8f;
    else return 0;
    if (i + n > s.size()) return 0;
    if (at(i + 1) < lo || at(i + 1) > hi) return 0;
    for (std::size_t k = 2; k < n; ++k)
        if (at(i + k) < 0x80 || at(i + k) > 0xbf) return 0;
    return n;
}

}  // namespace

std::string escape_invalid_utf8(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t n = sequence_length(text, i);
        if (n == 0) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", static_cast<unsigned char>(text[i]));
            out += buf;
            ++i;
        } else {
            out.append(text, i, n);
            i += n;
        }
    }
    return out;
}

}  // namespace cyclesim
