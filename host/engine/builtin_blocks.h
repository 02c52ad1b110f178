// The simulator's own blocks: sources (constant, step, ramp, sine,
// piecewise-linear table inline or from a CSV file), memory, gain and sum.
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
//
// Vector settings may be given as a number (for every element) or an array;
// a block's width is that of its longest vector setting.
#pragma once

#include <filesystem>
#include <memory>

#include "model_file.h"
#include "sim_block.h"

namespace cyclesim {

// Builds a built-in block from its model-file settings; relative file names
// are taken from `model_dir`. Throws SimulationError naming the setting.
std::unique_ptr<SimBlock> make_builtin_block(const BlockSpec& spec, const std::filesystem::path& model_dir);

}  // namespace cyclesim
