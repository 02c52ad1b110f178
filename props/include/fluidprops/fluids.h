// The fluids the library knows, and lookup by name.
#pragma once

#include <span>
#include <string_view>

#include "fluidprops/fluid.h"

namespace fluidprops {

// Every fluid, in a fixed order.
std::span<const Fluid> all_fluids();

// The fluid called `name`: its canonical name, one of its aliases (also in
// upper case) or its CAS number, optionally prefixed with "HEOS::".
// Returns nullptr for an unknown name.
const Fluid* find_fluid(std::string_view name);

}  // namespace fluidprops
