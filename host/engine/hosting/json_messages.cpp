#include "json_messages.h"

namespace cyclesim {

std::string json_reason(const nlohmann::json::exception& error)
{
    std::string text = error.what();
    if (text.rfind("[json.exception.", 0) == 0) {
        const auto close = text.find("] ");
        if (close != std::string::npos) text.erase(0, close + 2);
    }
    return text;
}

namespace {

// The library's exceptions cannot be made outside it; one of its own kind,
// so that callers catching nlohmann::json::exception report it as any
// other reason the text is not acceptable.
class NestingTooDeep : public nlohmann::json::exception {
public:
    NestingTooDeep() : exception(0, "[json.exception.nesting] nested deeper than 64 levels") {}
};

}  // namespace

nlohmann::json parse_json_bounded(const std::string& text, bool ignore_comments)
{
    // The depth is measured on the text before parsing, in one pass (the
    // library's parse callback would do it too, but makes long arrays
    // quadratic): brackets outside strings, escapes inside them skipped.
    int depth = 0;
    bool in_string = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (in_string) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                in_string = false;
        } else if (c == '"') {
            in_string = true;
        } else if (c == '[' || c == '{') {
            if (++depth > kMaxJsonDepth) throw NestingTooDeep();
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return nlohmann::json::parse(text, nullptr, true, ignore_comments);
}

}  // namespace cyclesim
