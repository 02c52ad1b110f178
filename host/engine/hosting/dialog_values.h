// Dialog parameters from JSON.
//
// A JSON object becomes a 1-by-1 structure whose numeric fields are scalars,
// text fields character arrays and arrays of numbers row vectors; a string
// becomes text and a number a scalar. Anything else (true/false, null, mixed
// arrays) is refused with the path of the offending value.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

extern "C" {
#include "matrix.h"
}

namespace cyclesim {

struct MxDeleter {
    void operator()(mxArray* a) const { mxDestroyArray(a); }
};
using MxPtr = std::unique_ptr<mxArray, MxDeleter>;

// `where` names the value in error messages (e.g. "parameter 1").
MxPtr dialog_value_from_json(const nlohmann::json& value, const std::string& where);

// The whole dialog: one value per parameter, in dialog order.
std::vector<MxPtr> dialog_from_json(const nlohmann::json& params, const std::string& block);

}  // namespace cyclesim
