// Numbers in messages: compact (at most 10 significant digits, exponent form
// for large and small magnitudes), so that a stop time of -1e300 reads as
// "-1e+300" and not as 300 digits.
#pragma once

#include <string>

namespace cyclesim {

std::string number_text(double value);

}  // namespace cyclesim
