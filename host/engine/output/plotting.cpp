#include "plotting.h"

#include "mat_results_reader.h"

#include "bounded_file.h"
#include "csv_reader.h"
#include "errors.h"
#include "gnuplot_process.h"
#include "gnuplot_text.h"
#include "json_depth.h"
#include "json_messages.h"
#include "plot_file_name.h"

#include <dlfcn.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

namespace cyclesim {

namespace fs = std::filesystem;
using nlohmann::json;

int ResultsTable::column(const std::string& name) const
{
    for (std::size_t i = 0; i < names.size(); ++i)
        if (names[i] == name) return static_cast<int>(i);
    return -1;
}

namespace {

// "name [unit]" -> name, unit
void split_header(const std::string& cell, std::string& name, std::string& unit)
{
    auto open = cell.rfind('[');
    auto close = cell.rfind(']');
    if (open != std::string::npos && close != std::string::npos && close > open) {
        name = cell.substr(0, open);
        unit = cell.substr(open + 1, close - open - 1);
    } else {
        name = cell;
        unit.clear();
    }
    while (!name.empty() && name.back() == ' ') name.pop_back();
    while (!name.empty() && name.front() == ' ') name.erase(0, 1);
}

// Output files are written only as plain names inside the run directory,
// and never through a symbolic link someone left there.
void refuse_link(const fs::path& file)
{
    if (fs::is_symlink(fs::symlink_status(file)))
        throw SimulationError("plot: " + file.string() + " is a symbolic link; refusing to write through it");
}

void make_plots_folder(const fs::path& dir)
{
    refuse_link(dir / "plots");
    fs::create_directories(dir / "plots");
}

void refuse_bad_name(const std::string& file)
{
    if (const std::string problem = plot_file_name_problem(file); !problem.empty())
        throw SimulationError("plot \"" + file + "\": " + problem);
}

// How a plot shows its values: absolute temperatures in °C and pressures in
// bar, as engineers read them (the result files stay SI). A plot converts
// only when every signal in it has that unit; temperatures only when every
// value is above 150 K, so that a plot of temperature differences
// (superheat, subcooling: also in K) stays in K.
struct DisplayScale {
    double factor = 1.0, offset = 0.0;  // shown = factor * value + offset
    std::string from, to;               // unit names, empty: no conversion
    double apply(double v) const { return factor * v + offset; }
};

DisplayScale display_scale(const ResultsTable& table, const std::vector<int>& columns)
{
    auto all_units = [&](const char* unit) {
        for (int c : columns)
            if (table.units[c] != unit) return false;
        return !columns.empty();
    };
    if (all_units("Pa")) return {1e-5, 0.0, "Pa", "bar"};
    if (all_units("K")) {
        for (const auto& row : table.rows)
            for (int c : columns)
                if (c < static_cast<int>(row.size()) && std::isfinite(row[c]) && row[c] < 150.0) return {};
        return {1.0, -273.15, "K", "°C"};
    }
    return {};
}

// The axis label in the unit shown: "K" -> "°C", "[Pa]" -> "[bar]".
std::string shown_label(std::string label, const DisplayScale& scale)
{
    if (scale.from.empty()) return label;
    if (label.empty() || label == scale.from) return scale.to;
    const std::string bracketed = "[" + scale.from + "]";
    if (const auto at = label.find(bracketed); at != std::string::npos)
        return label.replace(at, bracketed.size(), "[" + scale.to + "]");
    return label + " [" + scale.to + "]";
}

// A mode, a regime, a selector's port: few whole-number values. Drawn as
// steps, with whole-number ticks.
bool is_discrete(const ResultsTable& table, int column)
{
    std::set<double> values;
    for (const auto& row : table.rows) {
        if (column >= static_cast<int>(row.size()) || !std::isfinite(row[column])) continue;
        const double v = row[column];
        if (v != std::round(v) || std::fabs(v) > 1000) return false;
        values.insert(v);
        if (values.size() > 10) return false;
    }
    return !values.empty();
}

// Colours readable on white and told apart by most readers (no yellow).
constexpr const char* kPalette[] = {"#0072B2", "#D55E00", "#009E73", "#CC79A7",
                                    "#56B4E9", "#E69F00", "#000000", "#999999"};

// Data file: time and the selected columns (as shown), with gaps for
// non-finite values.
void write_data(const fs::path& file, const ResultsTable& table, const std::vector<int>& columns,
                const DisplayScale& scale)
{
    refuse_link(file);
    std::ofstream out(file);
    out.precision(12);
    for (const auto& row : table.rows) {
        out << row[0];
        for (int c : columns) {
            double v = c < static_cast<int>(row.size()) ? row[c] : std::nan("");
            if (std::isfinite(v))
                out << ' ' << scale.apply(v);
            else
                out << " NaN";
        }
        out << '\n';
    }
}

fs::path time_plot(const fs::path& dir, const ResultsTable& table, const std::string& file,
                   const std::string& title, const std::string& ylabel, const std::vector<std::string>& signals,
                   const json& yrange = json(), const json& descriptions = json::object())
{
    std::vector<int> columns;
    for (const auto& s : signals) {
        int c = table.column(s);
        if (c < 0) throw SimulationError("plot " + file + ": no logged signal \"" + s + "\"");
        columns.push_back(c);
    }
    refuse_bad_name(file);
    // gnuplot runs in the run directory; the script names every file
    // relative to it.
    make_plots_folder(dir);
    const std::string base = fs::path(file).stem().string();
    const fs::path data = fs::path("plots") / (base + ".dat");
    const fs::path script = fs::path("plots") / (base + ".gp");
    const fs::path png = dir / file;
    refuse_link(png);
    refuse_link(dir / script);
    const DisplayScale scale = display_scale(table, columns);
    write_data(dir / data, table, columns, scale);
    bool all_discrete = !columns.empty();
    std::vector<bool> discrete;
    for (int c : columns) {
        discrete.push_back(is_discrete(table, c));
        all_discrete = all_discrete && discrete.back();
    }
    std::ofstream gp(dir / script);
    gp << "set terminal pngcairo size 1000,600 noenhanced\n"
       << "set encoding utf8\n"
       << "set output " << gnuplot_string(file) << "\n"
       << "set title " << gnuplot_string(title) << "\n"
       << "set xlabel 'time [s]'\nset ylabel " << gnuplot_string(shown_label(ylabel, scale)) << "\n"
       << "set grid\nset key below\nset datafile missing 'NaN'\n";
    if (all_discrete) gp << "set ytics 1\nset format y '%.0f'\n";
    if (yrange.is_array())
        gp << "set yrange [" << scale.apply(yrange[0].get<double>()) << ":" << scale.apply(yrange[1].get<double>())
           << "]\n";
    gp << "plot ";
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (i) gp << ", ";
        const std::string legend = descriptions.contains(signals[i]) && descriptions[signals[i]].is_string()
                                       ? descriptions[signals[i]].get<std::string>()
                                       : signals[i];
        // Discrete signals often coincide: each later one thinner and
        // dashed, so that one drawn over another stays visible.
        const int width = discrete[i] ? std::max(1, 4 - static_cast<int>(i)) : 2;
        gp << gnuplot_string(data.string()) << " using 1:" << i + 2 << (discrete[i] ? " with steps" : " with lines")
           << " lw " << width << " dt " << (discrete[i] ? i % 5 + 1 : 1) << " lc rgb '"
           << kPalette[i % (sizeof kPalette / sizeof kPalette[0])] << "' title " << gnuplot_string(legend);
    }
    gp << "\n";
    gp.close();
    run_gnuplot(dir, script);
    return png;
}

using PropsFn = double (*)(const char*, const char*, double, const char*, double, const char*);

PropsFn property_entry(const fs::path& lib)
{
    // A library is code: only a regular file is loaded (a FIFO would block).
    std::error_code ec;
    if (!fs::is_regular_file(lib, ec))
        throw SimulationError("plot: the property library " + lib.string() + " is not a regular file");
    void* h = dlopen(fs::absolute(lib).c_str(), RTLD_LAZY | RTLD_LOCAL);
    if (!h) throw SimulationError("plot: cannot load the property library " + lib.string());
    auto fn = reinterpret_cast<PropsFn>(dlsym(h, "PropsSI"));
    if (!fn) throw SimulationError("plot: the property library " + lib.string() + " has no PropsSI");
    return fn;  // kept loaded for the rest of the process
}

fs::path ph_plot(const fs::path& dir, const ResultsTable& table, const json& spec, const fs::path& library)
{
    const std::string fluid = spec.at("fluid").get<std::string>();
    const std::string file = spec.value("file", std::string("ph_diagram.png"));
    refuse_bad_name(file);
    const auto& points = spec.at("points");
    PropsFn props = property_entry(library);

    // Pressures of the cycle decide the range of the dome drawn.
    double pmin = INFINITY, pmax = 0;
    for (const auto& row : table.rows)
        for (const auto& pt : points) {
            int c = table.column(pt[0].get<std::string>());
            if (c >= 0 && std::isfinite(row[c]) && row[c] > 0) {
                pmin = std::min(pmin, row[c]);
                pmax = std::max(pmax, row[c]);
            }
        }
    if (!(pmax > 0)) throw SimulationError("plot " + file + ": no finite pressure among the state points");

    make_plots_folder(dir);
    const fs::path dome = fs::path("plots") / "ph_dome.dat";
    {
        refuse_link(dir / dome);
        std::ofstream out(dir / dome);
        out.precision(10);
        std::vector<std::pair<double, double>> liquid, vapour;
        // Up to just below the critical pressure when the library knows it,
        // so the dome closes at its top.
        double lo = 0.3 * pmin, hi = 3.0 * pmax;
        const double pcrit = props("pcrit", "", 0, "", 0, fluid.c_str());
        if (std::isfinite(pcrit) && pcrit > 2 * lo) hi = pcrit;
        for (int i = 0; i <= 300; ++i) {
            // denser sampling towards the top, where the dome turns
            double f = 1.0 - std::pow(1.0 - i / 300.0, 2.0);
            double p = lo * std::pow(hi / lo, f);
            if (p >= 0.99999 * pcrit) p = 0.99999 * pcrit;
            double hf = props("H", "P", p, "Q", 0, fluid.c_str());
            double hg = props("H", "P", p, "Q", 1, fluid.c_str());
            if (!std::isfinite(hf) || !std::isfinite(hg) || hf == HUGE_VAL || hg == HUGE_VAL) continue;
            liquid.emplace_back(hf, p);
            vapour.emplace_back(hg, p);
        }
        if (liquid.empty()) throw SimulationError("plot " + file + ": no saturation states of " + fluid);
        for (const auto& [h, p] : liquid) out << h / 1000 << ' ' << p / 1e5 << '\n';
        for (auto it = vapour.rbegin(); it != vapour.rend(); ++it) out << it->first / 1000 << ' ' << it->second / 1e5 << '\n';
    }

    // State points at the chosen times (closed polygon), default: the end.
    std::vector<double> times;
    if (spec.contains("times"))
        for (const auto& t : spec["times"]) times.push_back(t.get<double>());
    if (times.empty()) times.push_back(table.rows.back()[0]);
    // Each cycle is drawn from the last row at or before its time and
    // labelled with that row's time: a time past the end of the results (a
    // shorter or failed run) draws the last state and says so.
    std::vector<fs::path> cycles;
    std::vector<std::string> labels;
    std::vector<const std::vector<double>*> drawn_rows;
    for (double t : times) {
        const std::vector<double>* row = &table.rows.front();
        for (const auto& r : table.rows)
            if (r[0] <= t) row = &r;
        const double drawn = (*row)[0];
        char asked[64];
        std::snprintf(asked, sizeof asked, "%g", t);
        // Times past the end all draw the last state: one cycle, whose
        // label lists the times asked for.
        if (t > table.rows.back()[0] && !drawn_rows.empty() && drawn_rows.back() == row &&
            labels.back().ends_with(" s asked)")) {
            labels.back().insert(labels.back().size() - std::string(" s asked)").size(), std::string(", ") + asked);
            continue;
        }
        char label[160];
        if (t > table.rows.back()[0])
            std::snprintf(label, sizeof label, "cycle at t = %g s (end of the results; %s s asked)", drawn, asked);
        else
            std::snprintf(label, sizeof label, "cycle at t = %g s", drawn);
        labels.push_back(label);
        drawn_rows.push_back(row);
        const fs::path data = fs::path("plots") / ("ph_cycle_" + std::to_string(cycles.size()) + ".dat");
        refuse_link(dir / data);
        std::ofstream out(dir / data);
        out.precision(10);
        for (std::size_t k = 0; k <= points.size(); ++k) {
            const auto& pt = points[k % points.size()];
            int cp = table.column(pt[0].get<std::string>()), ch = table.column(pt[1].get<std::string>());
            if (cp < 0 || ch < 0) throw SimulationError("plot " + file + ": unknown state-point signal");
            out << (*row)[ch] / 1000 << ' ' << (*row)[cp] / 1e5 << '\n';
        }
        cycles.push_back(data);
    }

    const fs::path script = fs::path("plots") / "ph_diagram.gp";
    const fs::path png = dir / file;
    refuse_link(png);
    refuse_link(dir / script);
    std::ofstream gp(dir / script);
    gp << "set terminal pngcairo size 1000,700 noenhanced\n"
       << "set output " << gnuplot_string(file) << "\n"
       << "set title " << gnuplot_string("Pressure-enthalpy diagram, " + fluid) << "\n"
       << "set xlabel 'h [kJ/kg]'\nset ylabel 'p [bar]'\nset logscale y\nset grid\n"
       // The legend goes below: a long cycle label ("end of the results; ...
       // asked") beside the plot would squeeze the diagram to a strip.
       << "set key below\nset datafile missing 'NaN'\n"
       << "plot " << gnuplot_string(dome.string()) << " using 1:2 with lines lw 2 lc rgb 'black' title 'saturation'";
    for (std::size_t i = 0; i < cycles.size(); ++i)
        gp << ", " << gnuplot_string(cycles[i].string()) << " using 1:2 with linespoints lw 2 pt 7 title "
           << gnuplot_string(labels[i]);
    gp << "\n";
    gp.close();
    run_gnuplot(dir, script);
    return png;
}

}  // namespace

ResultsTable read_results(const fs::path& csv)
{
    CsvTable csv_table;
    try {
        csv_table = read_csv(csv, kResultsFileLimit);
    } catch (const SimulationError& e) {
        throw SimulationError(std::string("plot: ") + e.what());
    }
    if (csv_table.header.empty()) throw SimulationError("plot: " + csv.string() + " has no header line");
    ResultsTable table;
    for (const auto& cell : csv_table.header) {
        std::string name, unit;
        split_header(cell, name, unit);
        table.names.push_back(name);
        table.units.push_back(unit);
    }
    for (auto& row : csv_table.rows) {
        row.resize(table.names.size(), std::nan(""));
        table.rows.push_back(std::move(row));
    }
    if (table.rows.empty()) throw SimulationError("plot: " + csv.string() + " holds no results");
    return table;
}

std::vector<std::string> ph_time_warnings(const json& plots, double start_time, double stop_time)
{
    std::vector<std::string> warnings;
    if (!plots.is_object() || !plots.contains("ph") || !plots["ph"].contains("times")) return warnings;
    for (const auto& t : plots["ph"]["times"]) {
        if (!t.is_number()) continue;
        const double time = t.get<double>();
        char text[200];
        if (time > stop_time)
            std::snprintf(text, sizeof text,
                          "plots.ph.times: t = %g s is after the stop time %g s: the diagram draws the last state, "
                          "labelled with its own time", time, stop_time);
        else if (time < start_time)
            std::snprintf(text, sizeof text,
                          "plots.ph.times: t = %g s is before the start time %g s: the diagram draws the first "
                          "state, labelled with its own time", time, start_time);
        else
            continue;
        warnings.push_back(text);
    }
    return warnings;
}

ResultsTable read_run_results(const fs::path& run_dir)
{
    if (!fs::exists(run_dir / "results.csv") && fs::exists(run_dir / "results.mat"))
        return read_mat_results(run_dir / "results.mat");
    return read_results(run_dir / "results.csv");
}

std::vector<fs::path> make_plots(const fs::path& run_dir, const fs::path& property_library)
{
    ResultsTable table = read_run_results(run_dir);
    json spec = json::object();
    if (fs::exists(run_dir / "plots.json")) {
        const std::string text = read_bounded_file(run_dir / "plots.json", kModelFileLimit, "plot");
        check_json_depth(text, "plot: " + (run_dir / "plots.json").string());
        try {
            spec = json::parse(text);
        } catch (const json::exception& e) {
            throw SimulationError("plot: " + (run_dir / "plots.json").string() + ": " + json_reason(e));
        }
        std::vector<std::string> logged(table.names.begin() + 1, table.names.end());
        validate_plot_spec(spec, logged, (run_dir / "plots.json").string());
    }

    std::vector<fs::path> written;
    if (spec.contains("time")) {
        for (const auto& p : spec["time"]) {
            std::vector<std::string> signals;
            for (const auto& s : p["signals"]) signals.push_back(s.get<std::string>());
            written.push_back(time_plot(run_dir, table, p["file"].get<std::string>(),
                                        p.value("title", std::string()), p.value("ylabel", std::string()), signals,
                                        p.value("yrange", json()), spec.value("descriptions", json::object())));
        }
    } else {
        // One plot per unit, every signal of that unit.
        std::map<std::string, std::vector<std::string>> by_unit;
        for (std::size_t i = 1; i < table.names.size(); ++i) by_unit[table.units[i]].push_back(table.names[i]);
        int n = 0;
        for (const auto& [unit, signals] : by_unit) {
            std::string file = "signals_" + std::to_string(n++) + ".png";
            written.push_back(time_plot(run_dir, table, file, unit.empty() ? "signals" : "signals in " + unit,
                                        unit, signals, json(), spec.value("descriptions", json::object())));
        }
    }
    if (spec.contains("ph")) written.push_back(ph_plot(run_dir, table, spec["ph"], property_library));
    return written;
}

}  // namespace cyclesim
