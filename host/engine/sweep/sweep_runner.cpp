#include "sweep_runner.h"

#include "bounded_file.h"
#include "child_process.h"
#include "errors.h"
#include "gnuplot_process.h"
#include "gnuplot_text.h"
#include "model_file.h"
#include "point_worker.h"
#include "run_directory.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <set>

namespace cyclesim {

namespace fs = std::filesystem;

namespace {

using json = nlohmann::json;

constexpr const char* kMarker = ".cyclesim-sweep";

json read_json_or_null(const fs::path& file)
{
    try {
        if (!fs::is_regular_file(file)) return nullptr;
        return json::parse(read_bounded_file(file, kModelFileLimit, "sweep point"));
    } catch (const std::exception&) {
        return nullptr;  // a damaged result is no result: the point runs again
    }
}

// A sweep writes into a new or empty folder, or into one an earlier sweep
// wrote (it carries the marker); anything else is refused untouched.
void claim_sweep_directory(const fs::path& dir)
{
    std::error_code ec;
    if (fs::exists(dir, ec)) {
        if (!fs::is_directory(dir)) throw SimulationError(dir.string() + ": exists and is not a folder");
        if (!fs::exists(dir / kMarker) && !fs::is_empty(dir))
            throw SimulationError(dir.string() +
                                  ": not empty and not a sweep's folder; give a new or empty folder with -o");
    }
    fs::create_directories(dir / "points");
    fs::create_directories(dir / "runs");
    std::ofstream(dir / kMarker) << "cyclesim sweep\n";
}

std::string csv_cell(const std::string& text)
{
    if (text.find_first_of(",\"\n\r") == std::string::npos) return text;
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += '"';
        out += (c == '\n' || c == '\r') ? ' ' : c;
    }
    return out + "\"";
}

std::string number_cell(const json& v)
{
    if (!v.is_number()) return "";
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.10g", v.get<double>());
    return buf;
}

std::string format_seconds(double s)
{
    char buf[40];
    if (s < 120)
        std::snprintf(buf, sizeof buf, "%.0f s", s);
    else
        std::snprintf(buf, sizeof buf, "%.0f min", s / 60);
    return buf;
}

// The progress line: points done (of all), failures, time left from this
// session's pace.
class Progress {
public:
    Progress(std::size_t total, std::size_t done, std::size_t failed)
        : total_(total), done_(done), failed_(failed), tty_(isatty(STDERR_FILENO) != 0)
    {
    }
    void point_done(const std::string& status)
    {
        ++done_;
        ++done_now_;
        if (status == "failed") ++failed_;
        if (status == "tripped") ++tripped_;
        show();
    }
    void show()
    {
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
        std::string left = "";
        if (done_now_ > 0 && done_ < total_)
            left = ", about " + format_seconds(wall / static_cast<double>(done_now_) * static_cast<double>(total_ - done_)) +
                   " left";
        std::fprintf(stderr, "%ssweep: %zu/%zu points done, %zu failed, %zu tripped, %.1f s%s%s", tty_ ? "\r" : "",
                     done_, total_, failed_, tripped_, wall, left.c_str(), tty_ ? "   " : "\n");
        std::fflush(stderr);
    }
    void finish()
    {
        if (tty_) std::fputc('\n', stderr);
    }

private:
    std::size_t total_, done_, failed_, tripped_ = 0, done_now_ = 0;
    bool tty_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

}  // namespace

std::string point_name(std::size_t index, std::size_t count)
{
    int width = 4;
    for (std::size_t n = count; n >= 10000; n /= 10) ++width;
    char buf[32];
    std::snprintf(buf, sizeof buf, "p%0*zu", width, index + 1);
    return buf;
}

std::vector<std::size_t> write_point_files(const SweepPlan& plan, const fs::path& dir, bool rerun_failed)
{
    json collect = {{"metrics", json::array()}, {"limits", json::array()}};
    for (const auto& m : plan.metrics)
        collect["metrics"].push_back(m.expr.empty() ? json{{"name", m.name}} : json{{"name", m.name}, {"expr", m.expr}});
    for (const auto& l : plan.limits) {
        json j = {{"signal", l.signal}, {"label", l.label}};
        if (l.above) j["above"] = *l.above;
        if (l.below) j["below"] = *l.below;
        collect["limits"].push_back(j);
    }
    std::vector<std::size_t> pending;
    for (std::size_t i = 0; i < plan.points.size(); ++i) {
        const std::string name = point_name(i, plan.points.size());
        json values = json::object();
        for (std::size_t k = 0; k < plan.variables.size(); ++k) values[plan.variables[k].name] = plan.points[i][k];
        json prepare = json::array();
        for (const auto& a : plan.prepare) prepare.push_back(substitute(plan, i, a));
        json def = {
            {"model", plan.model.string()},
            {"values", values},
            {"sets", point_sets(plan, i)},
            {"prepare", prepare},
            {"prepare_dir", plan.file.parent_path().string()},
            {"stop_time", plan.stop_time ? json(*plan.stop_time) : json()},
            {"settle", plan.settle ? *plan.settle : json()},
        };
        const fs::path point_file = dir / "points" / (name + ".json");
        const json result = read_json_or_null(result_file_of(point_file));
        const bool complete = result.is_object() && result.value("definition", json()) == def &&
                              !(rerun_failed && result.value("status", std::string()) == "failed");
        if (!complete) {
            std::error_code ec;
            fs::remove(result_file_of(point_file), ec);
            pending.push_back(i);
        }
        // Collection may change between sweeps without running the points
        // again only when the definition is the same; the worker reads it
        // from here.
        write_json_file(point_file, json{{"definition", def}, {"collect", collect},
                                         {"run_dir", (dir / "runs" / name).string()}});
    }
    return pending;
}

std::vector<json> write_sweep_table(const SweepPlan& plan, const fs::path& dir)
{
    std::vector<json> rows;
    const fs::path csv = dir / "sweep.csv";
    fs::path part = csv;
    part += ".part";
    {
        std::ofstream out(part);
        out << "point";
        for (const auto& v : plan.variables) out << "," << csv_cell(v.name);
        out << ",status,settled,settled_time,final_time,limits";
        for (const auto& m : plan.metrics) out << "," << csv_cell(m.name);
        out << ",message,run_dir\n";
        for (std::size_t i = 0; i < plan.points.size(); ++i) {
            const std::string name = point_name(i, plan.points.size());
            json r = read_json_or_null(result_file_of(dir / "points" / (name + ".json")));
            if (!r.is_object())
                r = {{"status", "failed"}, {"message", "no result: the point did not finish (run the sweep again)"}};
            out << name;
            for (const auto& v : plan.points[i]) out << "," << csv_cell(value_text(v));
            std::string limits;
            for (const auto& l : r.value("limits", json::array()))
                limits += (limits.empty() ? "" : "; ") + l.get<std::string>();
            const json settled = r.value("settled", json());
            out << "," << csv_cell(r.value("status", std::string("failed"))) << ","
                << (settled.is_boolean() ? (settled.get<bool>() ? "yes" : "no") : "") << ","
                << number_cell(r.value("settled_time", json())) << "," << number_cell(r.value("final_time", json()))
                << "," << csv_cell(limits);
            const json metrics = r.value("metrics", json::object());
            for (const auto& m : plan.metrics) out << "," << number_cell(metrics.value(m.name, json()));
            out << "," << csv_cell(r.value("message", std::string())) << "," << csv_cell("runs/" + name) << "\n";
            rows.push_back(std::move(r));
        }
        if (!out) throw SimulationError(csv.string() + ": cannot write");
    }
    fs::rename(part, csv);
    return rows;
}

void draw_sweep_maps(const SweepPlan& plan, const std::vector<json>& results, const fs::path& dir)
{
    if (plan.maps.empty()) return;
    const fs::path work = dir / "maps";
    fs::create_directories(work);
    auto column = [&plan](const std::string& name) {
        for (std::size_t k = 0; k < plan.variables.size(); ++k)
            if (plan.variables[k].name == name) return k;
        return std::size_t(0);
    };
    for (const auto& m : plan.maps) {
        const std::size_t xk = column(m.x);
        // One line per value of `lines`, in the order the points first give it.
        std::vector<std::string> line_values;
        std::map<std::string, std::vector<std::pair<double, double>>> lines;
        for (std::size_t i = 0; i < plan.points.size() && i < results.size(); ++i) {
            const std::string st = results[i].value("status", std::string());
            if (st != "completed" && st != "settled") continue;
            const json y = results[i].value("metrics", json::object()).value(m.metric, json());
            const json& x = plan.points[i][xk];
            if (!y.is_number() || !x.is_number()) continue;
            const std::string key = m.lines.empty() ? "" : value_text(plan.points[i][column(m.lines)]);
            if (!lines.count(key)) line_values.push_back(key);
            lines[key].emplace_back(x.get<double>(), y.get<double>());
        }
        const std::string stem = m.file.substr(0, m.file.size() - 4);
        const fs::path data = work / (stem + ".dat");
        {
            std::ofstream d(data);
            d.precision(12);
            for (const auto& key : line_values) {
                auto pts = lines[key];
                std::sort(pts.begin(), pts.end());
                for (const auto& [x, y] : pts) d << x << " " << y << "\n";
                d << "\n\n";
            }
        }
        const fs::path script = work / (stem + ".gp");
        {
            std::ofstream gp(script);
            gp << "set terminal pngcairo size 900,600 noenhanced\n"
               << "set output " << gnuplot_string((dir / m.file).string()) << "\n"
               << "set title " << gnuplot_string(m.title.empty() ? plan.name + ": " + m.metric : m.title) << "\n"
               << "set xlabel " << gnuplot_string(m.x) << "\n"
               << "set ylabel " << gnuplot_string(m.ylabel.empty() ? m.metric : m.ylabel) << "\n"
               << "set grid\nset key outside right\n";
            if (line_values.empty()) {
                gp << "set label 1 'no completed point' at graph 0.5, 0.5 center\nplot 2 notitle\n";
            } else {
                gp << "plot ";
                for (std::size_t k = 0; k < line_values.size(); ++k)
                    gp << (k ? ", " : "") << gnuplot_string(data.filename().string()) << " index " << k
                       << " using 1:2 with linespoints title "
                       << gnuplot_string(m.lines.empty() ? m.metric : m.lines + " = " + line_values[k]);
                gp << "\n";
            }
        }
        run_gnuplot(work, script);
    }
}

SweepSummary run_sweep(const SweepOptions& options)
{
    const SweepPlan plan = load_sweep(options.sweep_file, options.points_csv);
    if (options.jobs < 1) throw SimulationError("--jobs: expected at least 1");
    // The model and the fixed --sets are checked before anything runs; a
    // point's own values are the point's business (a bad one fails that
    // point, with its message, and no other).
    {
        ModelOverrides overrides;
        overrides.stop_time = plan.stop_time;
        overrides.sets = plan.sets;
        overrides.settle = plan.settle;
        load_model(plan.model, overrides);
    }
    SweepSummary summary;
    summary.total = plan.points.size();
    summary.dir = fs::absolute(options.out_dir ? *options.out_dir : fs::path("out") / plan.name).lexically_normal();
    claim_sweep_directory(summary.dir);
    const auto pending = write_point_files(plan, summary.dir, options.rerun_failed);
    summary.skipped = summary.total - pending.size();

    std::size_t failed_before = 0;
    for (std::size_t i = 0; i < plan.points.size(); ++i) {
        if (std::find(pending.begin(), pending.end(), i) != pending.end()) continue;
        json r = read_json_or_null(result_file_of(summary.dir / "points" / (point_name(i, summary.total) + ".json")));
        if (r.value("status", std::string()) == "failed") ++failed_before;
    }
    std::fprintf(stderr, "sweep %s: %zu points (%zu to run, %zu complete from before) into %s\n", plan.name.c_str(),
                 summary.total, pending.size(), summary.skipped, summary.dir.string().c_str());

    if (!pending.empty()) {
        // Only point numbers reach GNU parallel's command line; everything
        // else a point needs is in its point file. --quote makes parallel
        // quote every word (the program's and the folder's paths) for the
        // shell it starts, locally and on remote machines.
        const fs::path list = summary.dir / "points" / "pending.txt";
        {
            std::ofstream l(list);
            for (std::size_t i : pending) l << point_name(i, summary.total) << "\n";
        }
        std::vector<std::string> argv = {"parallel", "--will-cite", "--quote", "--halt", "never",
                                         "--jobs", std::to_string(options.jobs), "--arg-file", list.string()};
        if (options.ssh_login_file) {
            argv.push_back("--sshloginfile");
            argv.push_back(fs::absolute(*options.ssh_login_file).string());
        }
        for (const auto& s : options.ssh_logins) {
            argv.push_back("--sshlogin");
            argv.push_back(s);
        }
        argv.push_back(options.cyclesim.string());
        if (!options.blocks_dir.empty()) {
            argv.push_back("--blocks");
            argv.push_back(fs::absolute(options.blocks_dir).string());
        }
        argv.push_back("sweep-point");
        argv.push_back(summary.dir.string());
        argv.push_back("{}");

        Progress progress(summary.total, summary.skipped, failed_before);
        progress.show();
        std::string buffer;
        ProcessResult r;
        try {
            r = run_process(
                argv, {},
                [&](const std::string& chunk) {
                    buffer += chunk;
                    std::size_t nl;
                    while ((nl = buffer.find('\n')) != std::string::npos) {
                        const std::string line = buffer.substr(0, nl);
                        buffer.erase(0, nl + 1);
                        // "point p0007 settled"
                        if (line.rfind("point ", 0) == 0) progress.point_done(line.substr(line.rfind(' ') + 1));
                    }
                },
                false);
        } catch (const SimulationError& e) {
            throw SimulationError(std::string(e.what()) +
                                  " (GNU parallel runs the points: install it with apt-get install parallel)");
        }
        progress.finish();
        if (r.exit_code >= 128)
            std::fprintf(stderr, "sweep: GNU parallel stopped (status %d); run the sweep again to finish it\n",
                         r.exit_code);
    }

    const auto rows = write_sweep_table(plan, summary.dir);
    std::size_t listed = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const auto& r = rows[i];
        const std::string st = r.value("status", std::string());
        if (st == "failed") ++summary.failed;
        if (st == "tripped") ++summary.tripped;
        if (!r.contains("definition")) ++summary.missing;
        // The first few failures and trips on the console, the rest in the table.
        if ((st == "failed" || st == "tripped") && ++listed <= 10)
            std::fprintf(stderr, "sweep: %s %s: %s\n", point_name(i, rows.size()).c_str(), st.c_str(),
                         r.value("message", std::string()).c_str());
    }
    if (options.plot) {
        try {
            draw_sweep_maps(plan, rows, summary.dir);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "sweep: maps not drawn: %s\n", e.what());
        }
    }
    return summary;
}

}  // namespace cyclesim
