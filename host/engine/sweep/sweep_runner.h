// `cyclesim sweep`: every point of a sweep file in its own process, through
// GNU parallel (locally with --jobs, on the user's machines with an ssh login
// file), then one table of all points and the maps.
//
// The sweep's folder:
//   points/pNNNN.json          what point N runs (model, --sets, preparation,
//                              stop time, settle criterion) and collects
//   points/pNNNN.result.json   its result, written whole when the point ends
//   runs/pNNNN/                its run directory
//   sweep.csv, *.png           the table and the maps
// A point whose result exists for the same definition is complete: running
// the sweep again runs only the others (a killed sweep loses nothing).
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "sweep_file.h"

namespace cyclesim {

struct SweepOptions {
    std::filesystem::path sweep_file;
    std::optional<std::filesystem::path> out_dir;   // default out/<sweep name>
    std::optional<std::filesystem::path> points_csv;  // replaces the sweep file's points
    int jobs = 2;                                   // per machine
    std::optional<std::filesystem::path> ssh_login_file;  // GNU parallel's --sshloginfile
    std::vector<std::string> ssh_logins;            // GNU parallel's --sshlogin, repeatable
    std::filesystem::path cyclesim;                 // this program, absolute
    std::string blocks_dir;                         // passed to the points when given
    bool rerun_failed = false;                      // run failed points again on resume
    bool plot = true;
};

struct SweepSummary {
    std::size_t total = 0, skipped = 0, failed = 0, tripped = 0, missing = 0;
    std::filesystem::path dir;
};

// Throws SimulationError for a bad sweep file or a sweep that cannot start;
// failed points are counted, never thrown.
SweepSummary run_sweep(const SweepOptions& options);

// The point file of every point, written or refreshed; returns the indices
// still to run.
std::vector<std::size_t> write_point_files(const SweepPlan& plan, const std::filesystem::path& dir,
                                           bool rerun_failed);

// sweep.csv from the point results (a point without one is a failed row).
// Returns the rows as read, for the maps.
std::vector<nlohmann::json> write_sweep_table(const SweepPlan& plan, const std::filesystem::path& dir);

// The maps of the sweep file, drawn with gnuplot into `dir`.
void draw_sweep_maps(const SweepPlan& plan, const std::vector<nlohmann::json>& results,
                     const std::filesystem::path& dir);

// Name of point `index` of `count` (p0007).
std::string point_name(std::size_t index, std::size_t count);

}  // namespace cyclesim
