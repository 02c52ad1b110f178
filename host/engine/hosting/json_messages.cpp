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
    const nlohmann::json::parser_callback_t depth_guard = [](int depth, nlohmann::json::parse_event_t event,
                                                             nlohmann::json&) {
        if (depth > kMaxJsonDepth && (event == nlohmann::json::parse_event_t::object_start ||
                                      event == nlohmann::json::parse_event_t::array_start))
            throw NestingTooDeep();
        return true;
    };
    return nlohmann::json::parse(text, depth_guard, true, ignore_comments);
}

}  // namespace cyclesim
