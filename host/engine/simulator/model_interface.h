// A model's interface to other tools: the model file's "interface" section,
// which an FMU exported from the model (`cyclesim fmu`) presents to its
// importer.
//
//   "interface": {
//     "inputs": [      values the importer sets between communication points:
//                      a constant block's value (or one element of it); a
//                      step block named here becomes a constant held at its
//                      start-time value, then at what the importer sets
//       {"name": "T_ambient", "block": "ambient", "element": 0, "unit": "K", "description": "..."}
//     ],
//     "outputs": [     any signal, block.port.element
//       {"name": "Q_evap", "signal": "evaporator_heat.0.0", "unit": "W", "description": "..."}
//     ],
//     "parameters": [  any number `--set` can set (BLOCK.PARAM[.FIELD]), settable before the run starts
//       {"name": "C_eev", "set": "valve.1.C_eev", "unit": "m2", "description": "..."}
//     ]
//   }
//
// Names are identifiers (a letter or '_', then letters, digits, '_'), unique
// over the whole section; every entry has a unit ("1" for a plain number).
#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace cyclesim {

struct ModelSpec;

struct InterfaceVariable {
    std::string name, unit, description;
    double start = 0.0;      // inputs, parameters: the model file's value; outputs: 0
    std::string where;       // "file: interface.inputs[i]" for messages
};

struct InterfaceInput : InterfaceVariable {
    std::string block;       // a constant (or step) block
    int element = 0;
};

struct InterfaceOutput : InterfaceVariable {
    std::string signal;      // block.port.element, as written
};

struct InterfaceParameter : InterfaceVariable {
    std::string setting;     // BLOCK.PARAM[.FIELD], as --set takes it
};

struct InterfaceSpec {
    std::vector<InterfaceInput> inputs;
    std::vector<InterfaceOutput> outputs;
    std::vector<InterfaceParameter> parameters;
    bool empty() const { return inputs.empty() && outputs.empty() && parameters.empty(); }
};

// Reads and checks the "interface" section of a model document (absent: an
// empty interface) against the model's blocks. Throws SimulationError
// naming the file, the entry and what is wrong. Output signals' ports and
// elements are checked when the model is built.
InterfaceSpec parse_interface(const nlohmann::json& document, const ModelSpec& model, const std::string& file);

// The model document an importer's values make: the parameters set as
// `--set` would set them, every input block a constant holding the input's
// value, the outputs the logged signals (the document's own log, plots and
// settle criterion, which name logged signals, give way to them).
// `parameters` and `inputs` are in the interface's order.
nlohmann::json bind_interface(nlohmann::json document, const InterfaceSpec& interface,
                              const std::vector<double>& parameters, const std::vector<double>& inputs,
                              const std::string& file);

}  // namespace cyclesim
