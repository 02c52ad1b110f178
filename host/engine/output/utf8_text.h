// Texts that reach summary.json (a model file's path, a message quoting a
// fluid name given on the command line) may hold bytes that are not UTF-8,
// which JSON cannot carry. They are escaped before the run starts, so that
// reporting can never lose a run's results.
#pragma once

#include <string>

namespace cyclesim {

// `text` with every byte that is not part of a valid UTF-8 sequence written
// as \xNN; valid text is returned unchanged.
std::string escape_invalid_utf8(const std::string& text);

}  // namespace cyclesim
