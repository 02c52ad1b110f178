// Text handed to gnuplot. gnuplot executes backquoted commands inside
// double-quoted strings, and a line break ends a string and starts a new
// command; single-quoted strings are taken literally. A quote inside one
// could be written twice, but gnuplot reads a string that starts with a
// quote ('''a') as an empty string followed by junk, so each quote is
// joined in as the one-character string "'" instead. Every text that comes
// from a model or a results file (titles, axis labels, signal names, file
// names) reaches a script only through here.
#pragma once

#include <string>

namespace cyclesim {

// `text` as a gnuplot string expression: single-quoted pieces, each quote
// joined in as "'" ('it' . "'" . 's'), control characters (line breaks,
// tabs, escape, DEL) dropped.
std::string gnuplot_string(const std::string& text);

}  // namespace cyclesim
