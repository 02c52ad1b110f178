// Error type of the property library's C++ core.
//
// Every failure inside the library (unknown fluid or key, input outside the
// range of an equation, a state the library refuses to evaluate, a solver
// that did not converge) is thrown as PropertyError with a message meant for
// the user. The flat C entry catches it, returns HUGE_VAL and keeps the
// message for get_global_param_string("errstring", ...).
#pragma once

#include <cstdio>
#include <stdexcept>
#include <string>

namespace fluidprops {

class PropertyError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A number as the library's messages show it: ten significant digits.
inline std::string format_number(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.10g", v);
    return buf;
}

}  // namespace fluidprops
