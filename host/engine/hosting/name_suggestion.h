// Misspelt names: a key, setting or field typed by a user that is one or two
// letters away from an allowed one is almost always that one. Messages name
// what was typed and the nearest allowed name, so that "C_evv" is not
// reported only as a missing "C_eev".
#pragma once

#include <string>
#include <vector>

#include "dialog_values.h"

namespace cyclesim {

// The candidate nearest to `typed` by edit distance (insertions, deletions,
// substitutions, each counting one), if it is at most two edits away and
// closer than half the name; empty otherwise.
std::string nearest_name(const std::string& typed, const std::vector<std::string>& candidates);

// For a block's error message that names a field of a dialog structure in
// double quotes ("has no field \"C_eev\""): when the structure holds a field
// of a nearby name instead, the text to append to the message, e.g.
// ` (dialog parameter 1 holds "C_evv": misspelt "C_eev"?)`; empty when none.
std::string misspelt_field_hint(const std::string& message, const std::vector<MxPtr>& params);

}  // namespace cyclesim
