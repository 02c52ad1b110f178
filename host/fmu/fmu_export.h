// `cyclesim fmu`: a model file packed into an FMI 2.0 co-simulation FMU.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace cyclesim::fmu {

struct ExportOptions {
    std::filesystem::path model;          // the model file
    std::filesystem::path output;         // the .fmu to write
    std::filesystem::path blocks_dir;     // where the plug-ins are
    std::filesystem::path property_library;
    std::filesystem::path binary_dir;     // the FMU binary and its runtime (build/fmu/linux64)
    std::string tool;                     // "cyclesim 0.1.0"
};

struct ExportResult {
    std::string model_identifier;
    std::uintmax_t bytes = 0;
    std::size_t parameters = 0, inputs = 0, outputs = 0;
};

// The folder of the FMU binary for a cyclesim program: <build>/fmu/linux64
// for <build>/bin/cyclesim.
std::filesystem::path default_binary_dir();

// Checks the model (as `cyclesim check` does) and writes the FMU. Throws
// SimulationError naming what is wrong; a failed export leaves no file.
ExportResult export_fmu(const ExportOptions& options);

}  // namespace cyclesim::fmu
