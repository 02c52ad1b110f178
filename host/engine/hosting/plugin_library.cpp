#include "plugin_library.h"

#include "errors.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>

namespace cyclesim {

Plugin::Plugin(const std::filesystem::path& file, const std::string& expected_name)
{
    if (!std::filesystem::exists(file))
        throw SimulationError("unknown block '" + expected_name + "': no plug-in " + file.string());
    // Local scope: the globals of one plug-in never resolve to another's.
    handle_ = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        const char* e = dlerror();
        throw SimulationError("cannot load plug-in " + file.string() + ": " + (e ? e : "?"));
    }
    auto entry = reinterpret_cast<SFunctionTableEntry>(dlsym(handle_, SFUN_ENTRY_SYMBOL));
    if (!entry) {
        dlclose(handle_);
        throw SimulationError("plug-in " + file.string() + " is not an S-function (no entry '" +
                              SFUN_ENTRY_SYMBOL + "')");
    }
    table_ = entry();
    if (!table_ || table_->version != SFUN_TABLE_VERSION || !table_->initializeSizes ||
        !table_->initializeSampleTimes || !table_->outputs || !table_->terminate) {
        dlclose(handle_);
        throw SimulationError("plug-in " + file.string() + " has an incomplete callback table");
    }
    name_ = table_->name ? table_->name : expected_name;
}

Plugin::~Plugin()
{
    if (handle_) dlclose(handle_);
}

PluginRegistry::PluginRegistry(std::filesystem::path folder) : folder_(std::move(folder)) {}

std::shared_ptr<Plugin> PluginRegistry::load(const std::string& sfunction_name)
{
    auto it = loaded_.find(sfunction_name);
    if (it != loaded_.end()) return it->second;
    for (char c : sfunction_name) {
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_'))
            throw SimulationError("invalid S-function name '" + sfunction_name + "'");
    }
    if (sfunction_name.empty()) throw SimulationError("empty S-function name");
    auto plugin = std::make_shared<Plugin>(folder_ / (sfunction_name + ".so"), sfunction_name);
    loaded_[sfunction_name] = plugin;
    return plugin;
}

std::filesystem::path PluginRegistry::default_folder()
{
    if (const char* env = std::getenv("CYCLESIM_BLOCKS_DIR"); env && *env) return env;
    std::error_code ec;
    auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        auto candidate = self.parent_path().parent_path() / "blocks";
        if (std::filesystem::is_directory(candidate)) return candidate;
    }
    return std::filesystem::path("blocks");
}

}  // namespace cyclesim
