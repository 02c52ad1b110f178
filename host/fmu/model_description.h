// modelDescription.xml of an FMI 2.0 co-simulation FMU exported from a
// model: its interface's variables with units, descriptions and start
// values, and the capability flags that hold for our engine.
#pragma once

#include <string>

#include "model_file.h"

namespace cyclesim::fmu {

struct DescriptionInfo {
    std::string model_identifier;  // the binary's name and the functions' prefix-free identifier
    std::string guid;
    std::string generation_tool;   // "cyclesim 0.1.0"
    std::string generated_at;      // UTC, 2024-01-01T00:00:00Z
};

std::string model_description(const ModelSpec& model, const DescriptionInfo& info);

// A C identifier made from a model name (other characters become '_').
std::string model_identifier(const std::string& model_name);

// A guid fixed by the text (the model file and the tool's version).
std::string guid_of(const std::string& text);

}  // namespace cyclesim::fmu
