#include "run_directory_guard.h"

#include "errors.h"

#include <fstream>

namespace cyclesim {

namespace fs = std::filesystem;

namespace {

// Tarvex_files/ holding at most the property library (a file or a link).
bool only_property_library(const fs::path& folder)
{
    std::error_code ec;
    if (!fs::is_directory(fs::symlink_status(folder, ec))) return false;
    for (const auto& entry : fs::directory_iterator(folder, ec))
        if (entry.path().filename() != "libCoolProp.so") return false;
    return !ec;
}

bool prepared_for_a_run(const fs::path& dir)
{
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(dir, ec))
        if (entry.path().filename() != "Tarvex_files" || !only_property_library(entry.path())) return false;
    return !ec;
}

// A directory an earlier run wrote may since hold links where the run's
// files were (results.csv, run.log, summary.json.part, Tarvex_files, ...):
// opening those names for writing would write wherever the links point, and
// a linked Tarvex_files would receive the library link there. The only link
// a run directory may hold is the property library inside Tarvex_files.
void refuse_links(const fs::path& dir)
{
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(dir, ec)) {
        if (!entry.is_symlink(ec)) continue;
        std::error_code read_ec;
        const fs::path target = fs::read_symlink(entry.path(), read_ec);
        throw SimulationError("run directory " + dir.string() + ": " + entry.path().filename().string() +
                              " is a symbolic link" + (read_ec ? std::string() : " to " + target.string()) +
                              "; a run writes nothing through links (remove it, or give -o another directory)");
    }
    if (ec) throw SimulationError("cannot read the run directory " + dir.string() + ": " + ec.message());
}

}  // namespace

void claim_run_directory(const fs::path& dir)
{
    std::error_code ec;
    const auto status = fs::status(dir, ec);
    const fs::path marker = dir / kRunMarkerName;
    if (fs::exists(status)) {
        if (!fs::is_directory(status))
            throw SimulationError("run directory " + dir.string() + " exists and is not a directory");
        const bool ours = fs::is_regular_file(fs::symlink_status(marker, ec));
        if (!ours && !prepared_for_a_run(dir))
            throw SimulationError("run directory " + dir.string() +
                                  " already holds files that no run of cyclesim wrote; give -o a new or empty "
                                  "directory, or one an earlier run wrote");
        refuse_links(dir);
    } else {
        fs::create_directories(dir, ec);
        if (ec) throw SimulationError("cannot create the run directory " + dir.string() + ": " + ec.message());
    }
    if (fs::is_symlink(fs::symlink_status(marker, ec)))
        throw SimulationError("run directory " + dir.string() + ": " + marker.filename().string() +
                              " is a symbolic link");
    std::ofstream out(marker);
    out << "written by cyclesim run: results of one run; a later run may replace them\n";
    if (!out) throw SimulationError("cannot write " + marker.string());
}

}  // namespace cyclesim
