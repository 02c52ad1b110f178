// Where the blocks run. The blocks find the property library at
// ./Tarvex_files/libCoolProp.so, relative to the working directory, when they
// bind it (in their start and initial-conditions callbacks). `cyclesim run`
// makes the run directory the working directory for the whole run; a host
// embedded in another program (the FMU) may not keep the importer's working
// directory changed, so it names the blocks' directory here instead and the
// binding callbacks run inside it, the previous working directory restored
// as soon as each returns.
#pragma once

#include <filesystem>
#include <optional>

namespace cyclesim {

// Empty (the default): the blocks run in the process's working directory.
void set_block_directory(std::optional<std::filesystem::path> dir);
const std::optional<std::filesystem::path>& block_directory();

// The property library the blocks bind, as a path to open from here.
std::filesystem::path block_property_library();

// For the lifetime of the object the working directory is the block
// directory (when one is set). Restores the previous one however the scope
// ends; a failure to change directory throws SimulationError.
class BlockDirectoryScope {
public:
    BlockDirectoryScope();
    ~BlockDirectoryScope();
    BlockDirectoryScope(const BlockDirectoryScope&) = delete;
    BlockDirectoryScope& operator=(const BlockDirectoryScope&) = delete;

private:
    std::optional<std::filesystem::path> previous_;
};

}  // namespace cyclesim
