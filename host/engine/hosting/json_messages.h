// The JSON library's exceptions carry a technical prefix
// ("[json.exception.out_of_range.406] "); users see the reason only, after
// the name of the option, key or file it concerns.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

namespace cyclesim {

// "number overflow parsing '1e400'" for "[json.exception.out_of_range.406] number overflow parsing '1e400'".
std::string json_reason(const nlohmann::json::exception& error);

// Nesting deeper than this is refused while parsing: no model, sweep or
// argument needs more than a few levels, and a document nested many
// thousand levels deep would exhaust the stack of whatever walks it
// (printing it, copying it, destroying it).
inline constexpr int kMaxJsonDepth = 64;

// JSON text parsed as nlohmann::json::parse does (its exceptions unchanged),
// except that nesting beyond kMaxJsonDepth throws
// nlohmann::json::out_of_range (reason: "nested deeper than 64 levels").
nlohmann::json parse_json_bounded(const std::string& text, bool ignore_comments = false);

}  // namespace cyclesim
