#include "block_directory.h"

#include "errors.h"

#include <system_error>

namespace cyclesim {

namespace {
std::optional<std::filesystem::path> g_block_directory;
}

void set_block_directory(std::optional<std::filesystem::path> dir) { g_block_directory = std::move(dir); }

const std::optional<std::filesystem::path>& block_directory() { return g_block_directory; }

std::filesystem::path block_property_library()
{
    const std::filesystem::path relative = std::filesystem::path("Tarvex_files") / "libCoolProp.so";
    return g_block_directory ? *g_block_directory / relative : std::filesystem::absolute(relative);
}

BlockDirectoryScope::BlockDirectoryScope()
{
    if (!g_block_directory) return;
    std::error_code ec;
    std::filesystem::path here = std::filesystem::current_path(ec);
    if (ec) throw SimulationError("cannot read the working directory: " + ec.message());
    std::filesystem::current_path(*g_block_directory, ec);
    if (ec) throw SimulationError("cannot enter the blocks' directory " + g_block_directory->string() + ": " + ec.message());
    previous_ = std::move(here);
}

BlockDirectoryScope::~BlockDirectoryScope()
{
    if (!previous_) return;
    std::error_code ec;
    std::filesystem::current_path(*previous_, ec);  // nothing sensible to do if the old directory has gone
}

}  // namespace cyclesim
