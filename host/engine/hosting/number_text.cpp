#include "number_text.h"

#include <cstdio>

namespace cyclesim {

std::string number_text(double value)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.10g", value);
    return buf;
}

}  // namespace cyclesim
