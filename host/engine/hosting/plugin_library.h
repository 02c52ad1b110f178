// Loading of S-function plug-ins.
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <string>

extern "C" {
#include "sfun_table.h"
}

namespace cyclesim {

// One loaded plug-in (one shared object). Instances of the same S-function
// share it, as blocks of one type share their plug-in's globals in the host
// they were written for.
class Plugin {
public:
    Plugin(const std::filesystem::path& file, const std::string& expected_name);
    ~Plugin();
    Plugin(const Plugin&) = delete;
    Plugin& operator=(const Plugin&) = delete;

    const SFunctionTable& table() const { return *table_; }
    const std::string& name() const { return name_; }

private:
    void* handle_ = nullptr;
    const SFunctionTable* table_ = nullptr;
    std::string name_;
};

// Finds plug-ins by S-function name in a folder and keeps them loaded.
class PluginRegistry {
public:
    explicit PluginRegistry(std::filesystem::path folder);
    std::shared_ptr<Plugin> load(const std::string& sfunction_name);
    const std::filesystem::path& folder() const { return folder_; }

    // Default folder: $CYCLESIM_BLOCKS_DIR, else ../blocks next to the program.
    static std::filesystem::path default_folder();

private:
    std::filesystem::path folder_;
    std::map<std::string, std::shared_ptr<Plugin>> loaded_;
};

}  // namespace cyclesim
