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

// A protection that acted: the run ends as a real unit would, tripped, not
// failed. The message names the alarm, the signal, its value, the limit and
// the time.
class TripError : public SimulationError {
public:
    struct Trip {
        std::string alarm;      // "high pressure cut-out"
        std::string block;      // the trip block
        std::string signal;     // what it watches, as messages name it
        double value = 0.0;     // the signal when it tripped
        double limit = 0.0;
        std::string direction;  // "above" or "below"
        double since = 0.0;     // the signal has been beyond the limit since
        double time = 0.0;      // tripped at
    };
    TripError(const std::string& message, Trip trip) : SimulationError(message), trip_(std::move(trip)) {}
    const Trip& trip() const { return trip_; }

private:
    Trip trip_;
};

}  // namespace cyclesim
