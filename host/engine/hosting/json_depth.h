// Nesting depth of JSON text given by users. The values of a model are
// numbers, short arrays and one level of structures; a value nested
// thousands of levels deep is never meant, and code that walks a value
// recursively (messages that print it, dialog values built from it) would
// run out of machine stack on it. So the text is measured before it is
// parsed, without recursion, and refused above a fixed depth.
#pragma once

#include <string>

namespace cyclesim {

// Deep enough for any model (the deepest real value is a plot section's
// arrays inside objects inside the model, about six levels).
constexpr int kMaxJsonDepth = 64;

// Throws SimulationError "<what>: values nested deeper than 64 levels (at
// byte N)" when `text` opens more than kMaxJsonDepth arrays or objects
// inside one another. Brackets inside strings do not count.
void check_json_depth(const std::string& text, const std::string& what);

}  // namespace cyclesim
