// The run directory: results.csv, results.mat, run.log, summary.json and the
// Tarvex_files/libCoolProp.so link through which the blocks find the property
// library. The blocks run with it as their working directory.
#pragma once

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace cyclesim {

// Our property library, found next to the program like the plug-ins:
// <build>/lib/libfluidprops.so for <build>/bin/cyclesim.
std::filesystem::path default_property_library();

// A symbolic link left where a run writes one of its files (by an earlier
// run's directory received from someone else, say) is removed first, so the
// file is written in the run directory and never through the link. Throws
// SimulationError when the link cannot be removed.
void unlink_if_symlink(const std::filesystem::path& file);

// Creates `dir` and Tarvex_files/libCoolProp.so linking to `library`. An
// existing file or link there is kept. Returns notes for the run log (a kept
// link, a missing library).
std::vector<std::string> prepare_run_directory(const std::filesystem::path& dir,
                                               const std::filesystem::path& library);

// The property library's own last error message, if the library behind
// dir/Tarvex_files/libCoolProp.so is loaded in this process and exports
// get_global_param_string; empty otherwise.
std::string property_library_message(const std::filesystem::path& dir);

// run.log, line-buffered by hand (flushed at every write).
class RunLog {
public:
    explicit RunLog(const std::filesystem::path& file);
    ~RunLog();
    RunLog(const RunLog&) = delete;
    RunLog& operator=(const RunLog&) = delete;
    void write(const std::string& text);
    void line(const std::string& text) { write(text + "\n"); }

private:
    std::FILE* file_ = nullptr;
};

// Makes `dir` the working directory for the object's lifetime.
class WorkingDirectory {
public:
    explicit WorkingDirectory(const std::filesystem::path& dir);
    ~WorkingDirectory();
    WorkingDirectory(const WorkingDirectory&) = delete;
    WorkingDirectory& operator=(const WorkingDirectory&) = delete;

private:
    std::filesystem::path previous_;
};

// Replaces `file` atomically (written to file.part, then renamed).
void write_json_file(const std::filesystem::path& file, const nlohmann::json& value);

}  // namespace cyclesim
