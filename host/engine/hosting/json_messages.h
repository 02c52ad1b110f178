// The JSON library's exceptions carry a technical prefix
// ("[json.exception.out_of_range.406] "); users see the reason only, after
// the name of the option, key or file it concerns.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

namespace cyclesim {

// "number overflow parsing '1e400'" for "[json.exception.out_of_range.406] number overflow parsing '1e400'".
std::string json_reason(const nlohmann::json::exception& error);

}  // namespace cyclesim
