#include "number_text.h"

#include <cmath>
#include <cstdio>

namespace cyclesim {

std::string number_text(double value)
{
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value > 0 ? "+Inf" : "-Inf";
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.10g", value);
    return buf;
}

std::string time_text(double t)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.9g", t);
    return buf;
}

}  // namespace cyclesim
