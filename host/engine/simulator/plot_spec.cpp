#include "plot_spec.h"

#include "errors.h"
#include "plot_file_name.h"

#include <algorithm>
#include <cmath>

namespace cyclesim {

using nlohmann::json;

void validate_plot_spec(const json& spec, const std::vector<std::string>& logged, const std::string& where)
{
    auto known = [&](const json& v, const std::string& at) {
        if (!v.is_string()) throw SimulationError(where + at + ": expected a signal name");
        if (std::find(logged.begin(), logged.end(), v.get<std::string>()) == logged.end())
            throw SimulationError(where + at + ": \"" + v.get<std::string>() + "\" is not a logged signal");
    };
    if (!spec.is_object()) throw SimulationError(where + ": must be an object");
    for (auto it = spec.begin(); it != spec.end(); ++it)
        if (it.key() != "time" && it.key() != "ph" && it.key() != "comment" && it.key() != "descriptions")
            throw SimulationError(where + "." + it.key() + ": unknown key (allowed: time, ph, comment, descriptions)");
    if (spec.contains("descriptions")) {
        if (!spec["descriptions"].is_object()) throw SimulationError(where + ".descriptions: expected an object");
        for (auto it = spec["descriptions"].begin(); it != spec["descriptions"].end(); ++it)
            if (!it->is_string() || it->get<std::string>().size() > 200)
                throw SimulationError(where + ".descriptions." + it.key() + ": expected a text of at most 200 characters");
    }
    auto text = [&](const json& object, const std::string& key, const std::string& at) {
        if (object.contains(key) && !object[key].is_string())
            throw SimulationError(where + at + "." + key + ": expected a text");
    };
    // Plot files are written into the run directory: plain names only.
    auto plot_file = [&](const json& object, const std::string& at) {
        text(object, "file", at);
        if (!object.contains("file")) return;
        const std::string problem = plot_file_name_problem(object["file"].get<std::string>());
        if (!problem.empty()) throw SimulationError(where + at + ".file: " + problem);
    };
    auto entry_keys = [&](const json& object, std::initializer_list<const char*> allowed, const std::string& at) {
        for (auto it = object.begin(); it != object.end(); ++it) {
            bool ok = it.key() == "comment";
            for (const char* a : allowed) ok = ok || it.key() == a;
            if (!ok) throw SimulationError(where + at + "." + it.key() + ": unknown key");
        }
    };
    if (spec.contains("time")) {
        if (!spec["time"].is_array()) throw SimulationError(where + ".time: must be an array");
        for (std::size_t i = 0; i < spec["time"].size(); ++i) {
            const auto& p = spec["time"][i];
            const std::string at = ".time[" + std::to_string(i) + "]";
            if (!p.is_object() || !p.contains("file") || !p.contains("signals") || !p["signals"].is_array())
                throw SimulationError(where + at + ": needs \"file\" and \"signals\"");
            entry_keys(p, {"file", "title", "ylabel", "signals", "yrange"}, at);
            plot_file(p, at);
            text(p, "title", at);
            text(p, "ylabel", at);
            // gnuplot given a plot command without curves writes an empty PNG.
            if (p["signals"].empty()) throw SimulationError(where + at + ".signals: name at least one logged signal");
            for (const auto& s : p["signals"]) known(s, at + ".signals");
            if (p.contains("yrange") && !(p["yrange"].is_array() && p["yrange"].size() == 2 &&
                                          p["yrange"][0].is_number() && p["yrange"][1].is_number() &&
                                          std::isfinite(p["yrange"][0].get<double>()) &&
                                          std::isfinite(p["yrange"][1].get<double>()) &&
                                          p["yrange"][0].get<double>() < p["yrange"][1].get<double>()))
                throw SimulationError(where + at + ".yrange: expected [low, high] with low < high");
        }
    }
    if (spec.contains("ph")) {
        const auto& ph = spec["ph"];
        if (!ph.is_object() || !ph.contains("fluid") || !ph.contains("points") || !ph["points"].is_array() ||
            ph["points"].empty())
            throw SimulationError(where + ".ph: needs \"fluid\" and a non-empty \"points\" array");
        entry_keys(ph, {"file", "fluid", "times", "points"}, ".ph");
        plot_file(ph, ".ph");
        if (!ph["fluid"].is_string() || ph["fluid"].get_ref<const std::string&>().empty())
            throw SimulationError(where + ".ph.fluid: expected a fluid name");
        if (ph.contains("times")) {
            bool ok = ph["times"].is_array();
            if (ok)
                for (const auto& t : ph["times"]) ok = ok && t.is_number() && std::isfinite(t.get<double>());
            if (!ok) throw SimulationError(where + ".ph.times: expected an array of times in s");
        }
        for (const auto& pt : ph["points"]) {
            if (!pt.is_array() || pt.size() != 2)
                throw SimulationError(where + ".ph.points: each point is [pressure signal, enthalpy signal]");
            known(pt[0], ".ph.points");
            known(pt[1], ".ph.points");
        }
    }
}

}  // namespace cyclesim
