// Names in results.mat. A MAT-file variable or struct field name must be a
// valid identifier of the numerical environment: a letter, then letters,
// digits or underscores, at most 63 characters. A logged signal's name is
// mapped to one as follows:
//   - every character other than A-Z, a-z, 0-9 and _ becomes _ (a character
//     outside ASCII gives one _ per byte);
//   - a name that does not start with a letter gets an x in front ("2nd" ->
//     "x2nd", "_a" -> "x_a", "" -> "x");
//   - the result is cut to 63 characters;
//   - a name already taken gets _2, _3, ... (cut so it still fits).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace cyclesim {

constexpr std::size_t kMatNameMax = 63;

std::string mat_identifier(const std::string& name);

// One identifier per name, all distinct, in order; `reserved` are taken
// before the first name.
std::vector<std::string> mat_identifiers(const std::vector<std::string>& names,
                                         const std::vector<std::string>& reserved = {});

}  // namespace cyclesim
