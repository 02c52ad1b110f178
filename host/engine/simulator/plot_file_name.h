// Names of the plot files a model asks for. They are written into the run
// directory, so a name is a plain file name there: no folder part (no '/',
// so no "..", no absolute path), no hidden or control characters, and a
// ".png" ending (gnuplot writes PNG), which also keeps it from replacing
// results.csv, summary.json, run.log or plots.json.
#pragma once

#include <string>

namespace cyclesim {

// Empty when `name` is acceptable, else the reason it is not.
std::string plot_file_name_problem(const std::string& name);

}  // namespace cyclesim
