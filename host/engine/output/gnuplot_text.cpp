#include "gnuplot_text.h"

namespace cyclesim {

std::string gnuplot_string(const std::string& text)
{
    std::string out = "'";
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f) continue;
        if (c == '\'') {
            out += "' . \"'\" . '";
            continue;
        }
        out += c;
    }
    return out + "'";
}

}  // namespace cyclesim
