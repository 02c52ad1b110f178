// How messages name a signal: "block 'x' output port 1 element 0", with the
// block's kind when the reader may not know it ("block 'x' (gain) ...").
#pragma once

#include <string>

#include "sim_block.h"

namespace cyclesim {

enum class PortSide { input, output };

std::string element_text(const SimBlock& block, PortSide side, int port, int element, bool with_kind = false);

}  // namespace cyclesim
