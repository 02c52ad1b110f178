// Text handed to gnuplot. gnuplot executes backquoted commands inside
// double-quoted strings, and a line break ends a string and starts a new
// command; single-quoted strings are taken literally (a quote is written
// twice). Every text that comes from a model or a results file (titles, axis
// labels, signal names, file names) reaches a script only through here.
#pragma once

#include <string>

namespace cyclesim {

// `text` as a single-quoted gnuplot string: quotes doubled, control
// characters (line breaks, tabs, escape, DEL) dropped.
std::string gnuplot_string(const std::string& text);

}  // namespace cyclesim
