#include "signal_text.h"

namespace cyclesim {

std::string element_text(const SimBlock& block, PortSide side, int port, int element, bool with_kind)
{
    std::string s = "block '" + block.name() + "'";
    if (with_kind) s += " (" + block.kind() + ")";
    s += side == PortSide::input ? " input port " : " output port ";
    return s + std::to_string(port) + " element " + std::to_string(element);
}

}  // namespace cyclesim
