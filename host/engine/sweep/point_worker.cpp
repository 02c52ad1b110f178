#include "point_worker.h"

#include "bounded_file.h"
#include "child_process.h"
#include "errors.h"
#include "metric_expression.h"
#include "plugin_library.h"
#include "run_directory.h"
#include "run_model.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cmath>
#include <fstream>
#include <map>
#include <sstream>

#include <unistd.h>

namespace cyclesim {

namespace {

using json = nlohmann::json;

std::string tail_lines(const std::string& text, std::size_t max_chars)
{
    std::string t = text;
    while (!t.empty() && (t.back() == '\n' || t.back() == '\r')) t.pop_back();
    if (t.size() > max_chars) t = "..." + t.substr(t.size() - max_chars);
    for (char& c : t)
        if (c == '\n' || c == '\r') c = ' ';
    return t;
}

json read_json(const std::filesystem::path& file)
{
    return json::parse(read_bounded_file(file, kModelFileLimit, "sweep point"));
}

// Points running at once may prepare the same arguments together: each
// writes its own file and renames it over the cache, so a reader sees one
// whole copy. The cache only saves time; failing to keep it fails nothing.
void keep_preparation(const std::filesystem::path& cache, const json& entry)
{
    std::error_code ec;
    std::filesystem::create_directories(cache.parent_path(), ec);
    std::filesystem::path part = cache;
    part += "." + std::to_string(::getpid()) + ".part";
    {
        std::ofstream out(part);
        out << entry.dump() << "\n";
        if (!out) {
            std::filesystem::remove(part, ec);
            return;
        }
    }
    std::filesystem::rename(part, cache, ec);
    if (ec) std::filesystem::remove(part, ec);
}

}  // namespace

std::string preparation_key(const std::vector<std::string>& argv)
{
    // FNV-1a over the arguments, each ended by a zero byte.
    std::uint64_t h = 1469598103934665603ull;
    for (const auto& a : argv) {
        for (unsigned char c : a) h = (h ^ c) * 1099511628211ull;
        h = (h ^ 0u) * 1099511628211ull;
    }
    char buf[17];
    std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(h));
    return buf;
}

std::vector<std::string> parse_prepared_sets(const std::string& output)
{
    std::vector<std::string> sets;
    std::stringstream ss(output);
    std::string line;
    long n = 0;
    while (std::getline(ss, line)) {
        ++n;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.pop_back();
        std::size_t b = line.find_first_not_of(" \t");
        if (b == std::string::npos) continue;
        line = line.substr(b);
        std::string assignment;
        if (line.rfind("--set=", 0) == 0)
            assignment = line.substr(6);
        else if (line.rfind("--set ", 0) == 0 || line.rfind("--set\t", 0) == 0)
            assignment = line.substr(line.find_first_not_of(" \t", 5));
        if (assignment.find('=') == std::string::npos || assignment[0] == '=')
            throw SimulationError("line " + std::to_string(n) + " of its output is not \"--set BLOCK.PARAM[.FIELD]=VALUE\": \"" +
                                  tail_lines(line, 200) + "\"");
        sets.push_back(assignment);
    }
    return sets;
}

json collect_point(const json& summary, const json& collect, const std::string& run_message)
{
    json result;
    std::string status = "failed";
    std::string message = run_message;
    std::map<std::string, double> finals;
    if (summary.is_object()) {
        if (summary.contains("status") && summary["status"].is_string()) status = summary["status"].get<std::string>();
        // A run that was killed leaves "running" behind.
        if (status == "running") {
            status = "failed";
            if (message.empty()) message = "the run did not finish";
        }
        if (summary.contains("message") && summary["message"].is_string()) message = summary["message"].get<std::string>();
        if (summary.contains("alarm") && summary["alarm"].is_string() && message.find(summary["alarm"].get<std::string>()) == std::string::npos)
            message = summary["alarm"].get<std::string>() + (message.empty() ? "" : "; " + message);
        if (summary.contains("final_values") && summary["final_values"].is_object())
            for (auto it = summary["final_values"].begin(); it != summary["final_values"].end(); ++it)
                if (it->is_number()) finals[it.key()] = it->get<double>();
        const bool settled = summary.value("settled", false) == true;
        result["settled"] = summary.contains("settled") ? json(settled) : json();
        result["settled_time"] = summary.contains("settled_time") ? summary["settled_time"] : json();
        result["final_time"] = summary.contains("final_time") ? summary["final_time"] : json();
        if (status == "completed" && settled) status = "settled";
    } else {
        result["settled"] = nullptr;
        result["settled_time"] = nullptr;
        result["final_time"] = nullptr;
    }
    result["status"] = status;
    result["message"] = message;

    // Metrics in their order, an expression seeing the final values and the
    // metrics before it.
    json metrics = json::object();
    std::map<std::string, double> known = finals;
    for (const auto& m : collect.value("metrics", json::array())) {
        const std::string name = m.at("name").get<std::string>();
        const std::string expr = m.value("expr", std::string());
        double v = std::nan("");
        if (expr.empty()) {
            auto it = finals.find(name);
            if (it != finals.end()) v = it->second;
        } else {
            v = MetricExpression(expr, "metric " + name).evaluate(known);
        }
        known[name] = v;
        metrics[name] = std::isfinite(v) ? json(v) : json();
    }
    result["metrics"] = metrics;
    json active = json::array();
    for (const auto& l : collect.value("limits", json::array())) {
        auto it = known.find(l.at("signal").get<std::string>());
        if (it == known.end() || !std::isfinite(it->second)) continue;
        const double v = it->second;
        if ((l.contains("above") && v >= l["above"].get<double>()) ||
            (l.contains("below") && v <= l["below"].get<double>()))
            active.push_back(l.at("label"));
    }
    result["limits"] = active;
    return result;
}

std::filesystem::path result_file_of(const std::filesystem::path& point_file)
{
    auto r = point_file;
    r.replace_extension(".result.json");
    return r;
}

void run_point(const std::filesystem::path& point_file, const std::filesystem::path& blocks_dir)
{
    const auto started = std::chrono::steady_clock::now();
    const json point = read_json(point_file);
    const json& def = point.at("definition");
    const std::filesystem::path run_dir = point.at("run_dir").get<std::string>();

    std::vector<std::string> sets = def.at("sets").get<std::vector<std::string>>();
    std::string failure;
    double prepare_s = 0;
    if (!def.at("prepare").empty()) {
        // {build} is this machine's build folder (the one holding bin/cyclesim),
        // known only here: on a remote machine it is that machine's.
        auto argv = def["prepare"].get<std::vector<std::string>>();
        std::error_code ec;
        const std::string build = std::filesystem::read_symlink("/proc/self/exe", ec).parent_path().parent_path().string();
        for (auto& a : argv)
            for (std::size_t at; (at = a.find("{build}")) != std::string::npos;) a.replace(at, 7, build);
        const auto t0 = std::chrono::steady_clock::now();
        // A preparation is a function of its arguments: points that share
        // them (every water temperature at one ambient) share its --sets,
        // kept in the sweep's prepared/ folder.
        const std::filesystem::path cache =
            point_file.parent_path().parent_path() / "prepared" / (preparation_key(argv) + ".json");
        json cached;
        try {
            if (std::filesystem::is_regular_file(cache)) cached = read_json(cache);
        } catch (const std::exception&) {
            cached = nullptr;
        }
        if (cached.is_object() && cached.value("argv", json()) == json(argv)) {
            for (const auto& s : cached.at("sets")) sets.push_back(s.get<std::string>());
        } else {
            try {
                ProcessResult r = run_process(argv, def.at("prepare_dir").get<std::string>());
                if (r.exit_code != 0) {
                    failure = "preparation " + argv[0] + " exited with status " + std::to_string(r.exit_code) +
                              (r.err.empty() ? "" : ": " + tail_lines(r.err, 600));
                } else {
                    const auto prepared = parse_prepared_sets(r.out);
                    for (const auto& s : prepared) sets.push_back(s);
                    keep_preparation(cache, json{{"argv", argv}, {"sets", prepared}});
                }
            } catch (const std::exception& e) {
                failure = std::string("preparation ") + argv[0] + ": " + e.what();
            }
        }
        prepare_s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }

    json summary;  // null: no run
    std::string run_message = failure;
    double run_s = 0;
    if (failure.empty()) {
        RunOptions run;
        run.model = def.at("model").get<std::string>();
        run.run_dir = run_dir;
        if (!def.at("stop_time").is_null()) run.stop_time = def["stop_time"].get<double>();
        if (!def.at("settle").is_null()) run.settle = def["settle"];
        run.sets = sets;
        run.blocks_dir = blocks_dir.empty() ? PluginRegistry::default_folder() : blocks_dir;
        run.progress = false;
        run.echo_prints = false;
        const auto t0 = std::chrono::steady_clock::now();
        RunOutcome outcome = run_model(run);
        run_s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        run_message = outcome.ok ? "" : outcome.message;
        if (!outcome.run_dir.empty()) {
            try {
                summary = read_json(outcome.run_dir / "summary.json");
            } catch (const std::exception& e) {
                run_message += (run_message.empty() ? "" : "; ") + std::string("summary.json: ") + e.what();
            }
        }
    }
    json result = collect_point(summary, point.at("collect"), run_message);
    result["definition"] = def;
    result["sets"] = sets;
    result["prepare_s"] = prepare_s;
    result["run_s"] = run_s;
    result["point_s"] = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    // Complete or absent: written aside, then renamed over.
    write_json_file(result_file_of(point_file), result);
}

}  // namespace cyclesim
