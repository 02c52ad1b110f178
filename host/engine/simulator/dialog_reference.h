// A number of the model named the way --set names it: BLOCK.PARAM[.FIELD],
// PARAM the 1-based dialog position of an S-function block (FIELD a field of
// a record parameter) or the name of a source's setting.
//
// A loop guess may be such a reference instead of a number, so that a guess
// follows the value it must agree with (the condenser's initial pressure, for
// instance) when that value is changed with --set.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace cyclesim {

// The finite number `reference` names in the model document. Throws
// SimulationError naming `where`, the reference and the reason.
double dialog_number(const nlohmann::json& document, const std::string& reference, const std::string& where);

}  // namespace cyclesim
