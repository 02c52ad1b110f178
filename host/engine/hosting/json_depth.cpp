#include "json_depth.h"

#include "errors.h"

namespace cyclesim {

void check_json_depth(const std::string& text, const std::string& what)
{
    int depth = 0;
    bool in_string = false, escaped = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (in_string) {
            if (escaped) escaped = false;
            else if (c == '\\') escaped = true;
            else if (c == '"') in_string = false;
            continue;
        }
        if (c == '"') {
            in_string = true;
        } else if (c == '[' || c == '{') {
            if (++depth > kMaxJsonDepth)
                throw SimulationError(what + ": values nested deeper than " + std::to_string(kMaxJsonDepth) +
                                      " levels (at byte " + std::to_string(i) + ")");
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
}

}  // namespace cyclesim
