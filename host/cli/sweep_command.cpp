// cyclesim sweep: a parametric study of a model file, every point in its own
// process; cyclesim sweep-point: one of those processes (started by GNU
// parallel, not meant to be typed).
#include <cstdio>
#include <fstream>
#include <filesystem>
#include <iostream>

#include "commands.h"
#include "errors.h"
#include "point_worker.h"
#include "sweep_runner.h"

namespace cyclesim::cli {

namespace {

struct SweepCliOptions {
    std::string sweep, out, login_file, blocks, points;
    std::vector<std::string> logins;
    int jobs = 2;
    bool rerun_failed = false, no_plot = false;
};

}  // namespace

void add_sweep_command(CLI::App& app, const GlobalOptions& globals, int& exit_code)
{
    auto o = std::make_shared<SweepCliOptions>();
    auto* cmd = app.add_subcommand("sweep", "run a model at every point of a sweep file; sweep.csv and maps");
    cmd->add_option("sweep", o->sweep, "sweep file (JSON)")->required();
    cmd->add_option("-o,--output", o->out, "the sweep's folder (default: out/<sweep name>)");
    cmd->add_option("--points", o->points,
                    "CSV of points (a header naming the variables, one row per point) replacing the file's points");
    cmd->add_option("-j,--jobs", o->jobs, "points at a time on each machine (default 2)");
    cmd->add_option("--sshloginfile", o->login_file,
                    "GNU parallel's ssh login file: run the points on these machines (same paths everywhere; ':' is "
                    "this machine)");
    cmd->add_option("--sshlogin", o->logins, "one machine for GNU parallel's --sshlogin (repeatable; ':' is this one)");
    cmd->add_flag("--rerun-failed", o->rerun_failed, "run points that failed before again (default: kept)");
    cmd->add_flag("--no-plot", o->no_plot, "do not draw the maps");
    cmd->callback([o, &globals, &exit_code]() {
        try {
            SweepOptions s;
            s.sweep_file = o->sweep;
            if (!o->out.empty()) s.out_dir = o->out;
            if (!o->points.empty()) s.points_csv = o->points;
            s.jobs = o->jobs;
            if (!o->login_file.empty()) s.ssh_login_file = o->login_file;
            s.ssh_logins = o->logins;
            s.cyclesim = std::filesystem::read_symlink("/proc/self/exe");
            s.blocks_dir = globals.blocks_dir;
            s.rerun_failed = o->rerun_failed;
            s.plot = !o->no_plot;
            SweepSummary r = run_sweep(s);
            std::cerr << "cyclesim sweep: " << r.total << " points, " << r.failed << " failed, " << r.tripped
                      << " tripped; table in " << (r.dir / "sweep.csv").string() << std::endl;
            exit_code = r.failed > 0 ? 1 : 0;
        } catch (const std::exception& e) {
            std::cerr << "cyclesim sweep: " << e.what() << std::endl;
            exit_code = 2;
        }
    });

    auto point = std::make_shared<std::pair<std::string, std::string>>();
    auto* worker = app.add_subcommand("sweep-point", "run one point of a sweep (started by cyclesim sweep)");
    worker->group("");  // not listed in the help
    worker->add_option("dir", point->first, "the sweep's folder")->required();
    worker->add_option("point", point->second, "the point's name, pNNNN")->required();
    worker->callback([point, &globals, &exit_code]() {
        // Only a point's name reaches this command line; it names a file in
        // the sweep's own points/ folder and nothing else.
        const std::string& name = point->second;
        const bool digits = name.size() >= 5 && name.size() <= 10 && name[0] == 'p' &&
                            name.find_first_not_of("0123456789", 1) == std::string::npos;
        if (!digits) {
            std::cerr << "cyclesim sweep-point: bad point name" << std::endl;
            exit_code = 2;
            return;
        }
        try {
            const auto file = std::filesystem::path(point->first) / "points" / (point->second + ".json");
            run_point(file, globals.blocks_dir);
            std::string status = "failed";
            try {
                status = nlohmann::json::parse(std::ifstream(result_file_of(file))).value("status", status);
            } catch (const std::exception&) {
            }
            std::printf("point %s %s\n", point->second.c_str(), status.c_str());
            exit_code = 0;
        } catch (const std::exception& e) {
            std::cerr << "cyclesim sweep-point " << point->second << ": " << e.what() << std::endl;
            std::printf("point %s failed\n", point->second.c_str());
            exit_code = 1;
        }
        std::fflush(stdout);
    });
}

}  // namespace cyclesim::cli
