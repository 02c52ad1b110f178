// Numbers in messages: compact (at most 10 significant digits, exponent form
// for large and small magnitudes), so that a stop time of -1e300 reads as
// "-1e+300" and not as 300 digits; NaN and infinities as "NaN", "+Inf", "-Inf".
// The one formatter for numbers in the host's messages.
#pragma once

#include <string>

namespace cyclesim {

std::string number_text(double value);

// Simulation times in messages: nine significant digits, enough to tell
// apart the steps of a run of any practical length.
std::string time_text(double t);

}  // namespace cyclesim
