// Blocks for closing control loops around a cycle: an integrator and a
// first-order lag (continuous states advanced by the integrator with the
// plant's), a PID controller, a saturation, a rate limiter, a 1-D lookup,
// min/max selectors for override control and a trip (protection) block.
//
//   integrator    initial, lower, upper, reset      dx/dt = u, held inside [lower, upper] (the
//                                                   derivative is zero against a limit); "reset":
//                                                   true adds input port 1: when it rises above
//                                                   zero the state returns to initial
//   first_order   tau [s], initial, gain            tau dx/dt = gain u - x,  y = x
//   saturation    lower, upper                      y = min(max(u, lower), upper)
//   rate_limiter  rising, falling [1/s], initial    y follows u, changing by at most rising (up)
//                                                   or falling (down) per second between major steps
//   lookup        x [...], y [...], beyond          y(u) linear in a table of strictly increasing x;
//                                                   beyond the ends "hold" (default) or "extrapolate"
//   pid           kp, ti, td, filter_time, direction, bias, initial, lower, upper, tracking_time,
//                 setpoint_weight, derivative_weight, feedforward, tracking
//                                                   input 0 setpoint, input 1 measurement, then the
//                                                   feed-forward and the tracked actuator value where
//                                                   asked for (pid_block.cpp)
//   min, max      inputs (ports, default 2), width  output 0 the least (greatest) input, output 1 the
//                                                   port it came from (select_blocks.cpp)
//   trip          limit, direction, delay, after, alarm
//                                                   ends the run "tripped" when its input stays
//                                                   above/below limit for delay s (trip_block.cpp)
//
// The integrator and the lag have no direct feedthrough: their outputs are
// their states, so a loop closed through one of them is not an algebraic
// loop. Saturation, rate limiter, lookup, min, max, trip and pid pass their
// inputs through at once and do close algebraic loops (pid's tracking input
// excepted).
//
// All but pid work element by element; a vector setting or "width" makes a
// wider block (lookup: "width" only, its x and y are the table).
#pragma once

#include <memory>

#include "model_file.h"
#include "sim_block.h"

namespace cyclesim {

// Each throws SimulationError naming the block and the setting at fault.
std::unique_ptr<SimBlock> make_integrator_block(const BlockSpec& spec);
std::unique_ptr<SimBlock> make_first_order_block(const BlockSpec& spec);
std::unique_ptr<SimBlock> make_saturation_block(const BlockSpec& spec);
std::unique_ptr<SimBlock> make_rate_limiter_block(const BlockSpec& spec);
std::unique_ptr<SimBlock> make_lookup_block(const BlockSpec& spec);
std::unique_ptr<SimBlock> make_pid_block(const BlockSpec& spec);
std::unique_ptr<SimBlock> make_min_block(const BlockSpec& spec);
std::unique_ptr<SimBlock> make_max_block(const BlockSpec& spec);
std::unique_ptr<SimBlock> make_trip_block(const BlockSpec& spec);

}  // namespace cyclesim
