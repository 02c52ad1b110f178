// Errors that stop a simulation or an evaluation.
#pragma once

#include <stdexcept>
#include <string>

namespace cyclesim {

// A failure the user must see: bad model file, bad parameter, a block's error
// status, a non-finite value, a solver failure. The message is complete
// (block, port, element, time where they apply).
class SimulationError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace cyclesim
