// The JSON library's exceptions carry a technical prefix
// ("[json.exception.out_of_range.406] "); users see the reason only, after
// the name of the option, key or file it concerns.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

namespace cyclesim {

// "number overflow parsing '1e400'" for "[json.exception.out_of_range.406] number overflow parsing '1e400'".
std::string json_reason(const nlohmann::json::exception& error);

// A user's text as quoted in a message: whole when short, else its first
// `limit` bytes and the count of the rest, so that a 30 MB argument does not
// become a 30 MB message.
std::string message_excerpt(const std::string& text, std::size_t limit = 80);

}  // namespace cyclesim
