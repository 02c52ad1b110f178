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

}  // namespace cyclesim
