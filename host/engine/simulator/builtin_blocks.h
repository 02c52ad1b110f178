// The simulator's own blocks: sources (constant, step, ramp, sine,
// piecewise-linear table inline or from a CSV file), memory, gain, sum and
// product. builtin_block_types() is the one list of them: the model file
// accepts exactly the settings listed there, and builds through its factory.
//
//   constant  value                              y = value
//   step      time, before, after                y = before for t < time, after from time on
//   ramp      slope, start_time, initial         y = initial + slope * max(0, t - start_time)
//   sine      amplitude, frequency [Hz], phase [rad], bias
//                                                y = bias + amplitude * sin(2 pi frequency t + phase)
//   table     time [...], values [[row], ...]    linear between rows, held beyond the ends;
//             or file "x.csv" (first column time), columns [names or 1-based numbers]
//   memory    initial, width                     y = input at the previous major step
//   gain      gain, width                        y = gain * u (element by element)
//   sum       signs "+-...", width               y = sum of the inputs with the signs, one port each
//   product   operations "*/...", width          y = product of the inputs, '/' dividing, one port each
//
// Vector settings may be given as a number (for every element) or an array;
// a block's width is that of its longest vector setting. The control blocks
// (integrator, first_order, saturation, rate_limiter, lookup, pid) are
// described in control_blocks.h.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "model_file.h"
#include "sim_block.h"

namespace cyclesim {

// One built-in block type: its "type" in model files, the settings it
// accepts besides name, type and comment, and how to build it from them
// (relative file names taken from the model's folder; throws SimulationError
// naming the setting).
struct BuiltinBlockType {
    std::string type;
    std::set<std::string> keys;
    std::function<std::unique_ptr<SimBlock>(const BlockSpec&, const std::filesystem::path& model_dir)> make;
};

const std::vector<BuiltinBlockType>& builtin_block_types();
// The type named `type`, or null.
const BuiltinBlockType* find_builtin_block_type(const std::string& type);

// Builds a built-in block from its model-file settings; relative file names
// are taken from `model_dir`. Throws SimulationError naming the setting.
std::unique_ptr<SimBlock> make_builtin_block(const BlockSpec& spec, const std::filesystem::path& model_dir);

}  // namespace cyclesim
