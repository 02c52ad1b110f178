// Where things sit inside an FMU exported by `cyclesim fmu`, shared by the
// packaging and by the FMU's binary. Paths below resources/:
//   model.json                     the model file
//   guid.txt                       the FMU's guid, as modelDescription.xml gives it
//   blocks/<S-function>.so         the block plug-ins
//   Tarvex_files/libCoolProp.so    the property library, where the blocks look
//                                  for it (resources/ is their working
//                                  directory while they bind it)
// binaries/linux64/ holds <modelIdentifier>.so and the host runtime it needs.
#pragma once

#include <cstddef>

namespace cyclesim::fmu {

inline constexpr const char* kModelFile = "model.json";
inline constexpr const char* kGuidFile = "guid.txt";
inline constexpr const char* kBlocksFolder = "blocks";
inline constexpr const char* kPropertyLibrary = "Tarvex_files/libCoolProp.so";
inline constexpr const char* kPlatformFolder = "binaries/linux64";

}  // namespace cyclesim::fmu

namespace cyclesim::fmu {

// Value references: the interface's parameters first, then its inputs, then
// its outputs, each in the order the model file lists them, counted from 0.
struct ValueReferences {
    std::size_t parameters, inputs, outputs;
    std::size_t first_input() const { return parameters; }
    std::size_t first_output() const { return parameters + inputs; }
    std::size_t count() const { return parameters + inputs + outputs; }
};

}  // namespace cyclesim::fmu
