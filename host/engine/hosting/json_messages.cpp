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

std::string message_excerpt(const std::string& text, std::size_t limit)
{
    if (text.size() <= limit) return text;
    return text.substr(0, limit) + "... (" + std::to_string(text.size() - limit) + " more bytes)";
}

}  // namespace cyclesim
