// What each output element of our four blocks means: a short name and its
// unit, port by port, as the README's block tables describe them. Used to
// label `cyclesim eval`'s outputs.
#pragma once

#include <string>
#include <vector>

namespace cyclesim {

struct OutputName {
    std::string name;
    std::string unit;  // "-" for a ratio or a mode
};

// Port by port; empty for an S-function we do not know (a user's own).
const std::vector<std::vector<OutputName>>& block_output_names(const std::string& sfunction);

}  // namespace cyclesim
