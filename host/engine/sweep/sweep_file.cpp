#include "sweep_file.h"

#include "bounded_file.h"
#include "errors.h"
#include "json_depth.h"
#include "json_messages.h"
#include "name_suggestion.h"
#include "sweep_points.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <set>

namespace cyclesim {

namespace {

using json = nlohmann::json;

[[noreturn]] void fail(const std::string& where, const std::string& reason)
{
    throw SimulationError(where + ": " + reason);
}

void check_keys(const json& object, const std::set<std::string>& allowed, const std::string& where)
{
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (it.key() == "comment" || allowed.count(it.key())) continue;
        std::string list;
        for (const auto& k : allowed) list += k + ", ";
        const std::string near = nearest_name(it.key(), {allowed.begin(), allowed.end()});
        fail(where, "unknown key \"" + message_excerpt(it.key()) + "\"" +
                        (near.empty() ? std::string() : " (did you mean \"" + near + "\"?)") + " (allowed here: " +
                        list + "comment)");
    }
}

std::string text_of(const json& object, const std::string& key, const std::string& where)
{
    auto it = object.find(key);
    if (it == object.end()) fail(where, "missing key \"" + key + "\"");
    if (!it->is_string() || it->get<std::string>().empty()) fail(where + "." + key, "expected a non-empty text");
    return it->get<std::string>();
}

double number_of(const json& v, const std::string& where)
{
    if (!v.is_number() || !std::isfinite(v.get<double>())) fail(where, "expected a finite number");
    return v.get<double>();
}

// Names that go into the table's header and into {placeholders}.
void check_name(const std::string& name, const std::string& where)
{
    for (char c : name)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_'))
            fail(where, "\"" + name + "\": use letters, digits and '_' only");
}

SweepVariable parse_variable(const json& v, const std::string& where)
{
    if (!v.is_object()) fail(where, "expected an object {\"name\", \"set\", \"values\" or \"range\"}");
    check_keys(v, {"name", "set", "scale", "offset", "values", "range"}, where);
    SweepVariable out;
    out.name = text_of(v, "name", where);
    check_name(out.name, where + ".name");
    if (v.contains("set")) out.set = text_of(v, "set", where);
    if (v.contains("scale")) out.scale = number_of(v["scale"], where + ".scale");
    if (v.contains("offset")) out.offset = number_of(v["offset"], where + ".offset");
    // Neither: the values come from a CSV of points.
    if (v.contains("values") && v.contains("range")) fail(where, "give either \"values\" (a list) or \"range\"");
    if (v.contains("values")) {
        const json& list = v["values"];
        if (!list.is_array() || list.empty()) fail(where + ".values", "expected a non-empty list");
        for (std::size_t i = 0; i < list.size(); ++i) {
            const std::string w = where + ".values[" + std::to_string(i) + "]";
            if (list[i].is_number())
                number_of(list[i], w);
            else if (!list[i].is_string())
                fail(w, "expected a number or a text");
            out.values.push_back(list[i]);
        }
    } else if (v.contains("range")) {
        const json& r = v["range"];
        const std::string w = where + ".range";
        if (!r.is_object()) fail(w, "expected {\"from\", \"to\", \"count\"}");
        check_keys(r, {"from", "to", "count"}, w);
        if (!r.contains("from") || !r.contains("to")) fail(w, "missing key \"from\" or \"to\"");
        out.from = number_of(r["from"], w + ".from");
        out.to = number_of(r["to"], w + ".to");
        if (r.contains("count")) {
            double c = number_of(r["count"], w + ".count");
            if (c < 1 || c > 100000 || c != std::floor(c)) fail(w + ".count", "expected an integer from 1 to 100000");
            out.count = static_cast<int>(c);
        }
    }
    return out;
}

SweepMetric parse_metric(const json& m, const std::string& where)
{
    SweepMetric out;
    if (m.is_string()) {
        out.name = m.get<std::string>();
    } else if (m.is_object()) {
        check_keys(m, {"name", "expr"}, where);
        out.name = text_of(m, "name", where);
        out.expr = text_of(m, "expr", where);
    } else {
        fail(where, "expected a logged signal's name or {\"name\", \"expr\"}");
    }
    if (out.name.empty()) fail(where, "expected a name");
    return out;
}

SweepLimit parse_limit(const json& l, const std::string& where)
{
    if (!l.is_object()) fail(where, "expected {\"signal\", \"above\" or \"below\", \"label\"}");
    check_keys(l, {"signal", "above", "below", "label"}, where);
    SweepLimit out;
    out.signal = text_of(l, "signal", where);
    out.label = text_of(l, "label", where);
    if (l.contains("above")) out.above = number_of(l["above"], where + ".above");
    if (l.contains("below")) out.below = number_of(l["below"], where + ".below");
    if (!out.above && !out.below) fail(where, "give \"above\" or \"below\" (the bound at which the limit is active)");
    return out;
}

SweepMap parse_map(const json& m, const std::string& where, const SweepPlan& plan)
{
    if (!m.is_object()) fail(where, "expected {\"file\", \"metric\", \"x\", \"lines\"}");
    check_keys(m, {"file", "metric", "x", "lines", "title", "ylabel"}, where);
    SweepMap out;
    out.file = text_of(m, "file", where);
    // A plain PNG name inside the sweep's folder.
    if (out.file.find('/') != std::string::npos || out.file.find("..") != std::string::npos || out.file[0] == '.' ||
        out.file.size() < 5 || out.file.substr(out.file.size() - 4) != ".png")
        fail(where + ".file", "expected a plain .png name (no '/', no '..', no leading '.')");
    out.metric = text_of(m, "metric", where);
    out.x = text_of(m, "x", where);
    if (m.contains("lines")) out.lines = text_of(m, "lines", where);
    if (m.contains("title")) out.title = text_of(m, "title", where);
    if (m.contains("ylabel")) out.ylabel = text_of(m, "ylabel", where);
    auto is_variable = [&plan](const std::string& n) {
        for (const auto& v : plan.variables)
            if (v.name == n) return true;
        return false;
    };
    if (!is_variable(out.x)) fail(where + ".x", "\"" + out.x + "\" is not a variable of the sweep");
    if (!out.lines.empty() && !is_variable(out.lines))
        fail(where + ".lines", "\"" + out.lines + "\" is not a variable of the sweep");
    bool known = false;
    for (const auto& mt : plan.metrics) known = known || mt.name == out.metric;
    if (!known) fail(where + ".metric", "\"" + out.metric + "\" is not one of the sweep's metrics");
    return out;
}

}  // namespace

std::string value_text(const json& value)
{
    if (value.is_string()) return value.get<std::string>();
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.12g", value.get<double>());
    return buf;
}

SweepPlan parse_sweep(const json& doc, const std::filesystem::path& file,
                      const std::optional<std::filesystem::path>& points_csv)
{
    const std::string where = file.string();
    if (!doc.is_object()) fail(where, "expected a JSON object");
    check_keys(doc, {"name", "model", "stop_time", "settle", "sets", "variables", "points", "prepare", "metrics",
                     "limits", "maps"},
               where);
    SweepPlan plan;
    plan.file = std::filesystem::absolute(file);
    plan.name = doc.contains("name") ? text_of(doc, "name", where) : file.stem().string();
    const auto base = plan.file.parent_path();
    plan.model = (base / text_of(doc, "model", where)).lexically_normal();
    if (doc.contains("stop_time")) {
        plan.stop_time = number_of(doc["stop_time"], where + ": stop_time");
        if (!(*plan.stop_time > 0)) fail(where + ": stop_time", "expected a number > 0");
    }
    if (doc.contains("settle")) {
        if (!doc["settle"].is_object()) fail(where + ": settle", "expected an object (see solver.settle of a model)");
        plan.settle = doc["settle"];
    }
    if (doc.contains("sets")) {
        const json& s = doc["sets"];
        if (!s.is_array()) fail(where + ": sets", "expected a list of \"BLOCK.PARAM[.FIELD]=VALUE\"");
        for (std::size_t i = 0; i < s.size(); ++i) {
            const std::string w = where + ": sets[" + std::to_string(i) + "]";
            if (!s[i].is_string() || s[i].get<std::string>().find('=') == std::string::npos)
                fail(w, "expected \"BLOCK.PARAM[.FIELD]=VALUE\"");
            plan.sets.push_back(s[i].get<std::string>());
        }
    }
    auto vars = doc.find("variables");
    if (vars == doc.end()) fail(where, "missing key \"variables\"");
    if (!vars->is_array() || vars->empty()) fail(where + ": variables", "expected a non-empty list");
    std::set<std::string> seen;
    for (std::size_t i = 0; i < vars->size(); ++i) {
        const std::string w = where + ": variables[" + std::to_string(i) + "]";
        plan.variables.push_back(parse_variable((*vars)[i], w));
        if (!seen.insert(plan.variables.back().name).second)
            fail(w + ".name", "\"" + plan.variables.back().name + "\" is given twice");
        if (plan.variables.back().name == "model" || plan.variables.back().name == "sweep_dir")
            fail(w + ".name", "\"model\" and \"sweep_dir\" are reserved placeholders");
    }
    if (doc.contains("prepare")) {
        const json& p = doc["prepare"];
        if (!p.is_array() || p.empty())
            fail(where + ": prepare", "expected an argument vector [\"program\", \"arg\", ...] (no shell)");
        for (std::size_t i = 0; i < p.size(); ++i) {
            if (!p[i].is_string()) fail(where + ": prepare[" + std::to_string(i) + "]", "expected a text");
            plan.prepare.push_back(p[i].get<std::string>());
        }
        if (plan.prepare[0].empty()) fail(where + ": prepare[0]", "expected the program to run");
    }
    if (doc.contains("metrics")) {
        const json& m = doc["metrics"];
        if (!m.is_array()) fail(where + ": metrics", "expected a list");
        for (std::size_t i = 0; i < m.size(); ++i)
            plan.metrics.push_back(parse_metric(m[i], where + ": metrics[" + std::to_string(i) + "]"));
    }
    if (doc.contains("limits")) {
        const json& l = doc["limits"];
        if (!l.is_array()) fail(where + ": limits", "expected a list");
        for (std::size_t i = 0; i < l.size(); ++i)
            plan.limits.push_back(parse_limit(l[i], where + ": limits[" + std::to_string(i) + "]"));
    }
    if (doc.contains("maps")) {
        const json& m = doc["maps"];
        if (!m.is_array()) fail(where + ": maps", "expected a list");
        for (std::size_t i = 0; i < m.size(); ++i)
            plan.maps.push_back(parse_map(m[i], where + ": maps[" + std::to_string(i) + "]", plan));
    }
    if (points_csv)
        plan.points = csv_points(plan.variables, *points_csv, "--points");
    else
        plan.points = expand_points(plan.variables, doc.contains("points") ? doc["points"] : json("grid"), base,
                                    where + ": points");
    return plan;
}

SweepPlan load_sweep(const std::filesystem::path& file, const std::optional<std::filesystem::path>& points_csv)
{
    const std::string text = read_bounded_file(file, kModelFileLimit, "sweep file");
    check_json_depth(text, file.string());
    json doc;
    try {
        doc = json::parse(text);
    } catch (const json::exception& e) {
        throw SimulationError(file.string() + ": invalid JSON: " + json_reason(e));
    }
    return parse_sweep(doc, file, points_csv);
}

std::vector<std::string> point_sets(const SweepPlan& plan, std::size_t index)
{
    std::vector<std::string> out = plan.sets;
    const auto& point = plan.points.at(index);
    for (std::size_t k = 0; k < plan.variables.size(); ++k) {
        const auto& v = plan.variables[k];
        if (v.set.empty()) continue;
        const json& value = point[k];
        const json applied = value.is_number() ? json(value.get<double>() * v.scale + v.offset) : value;
        out.push_back(v.set + "=" + value_text(applied));
    }
    return out;
}

std::string substitute(const SweepPlan& plan, std::size_t index, const std::string& arg)
{
    std::string out;
    std::size_t i = 0;
    while (i < arg.size()) {
        std::size_t open = arg.find('{', i);
        std::size_t close = open == std::string::npos ? std::string::npos : arg.find('}', open);
        if (close == std::string::npos) {
            out += arg.substr(i);
            break;
        }
        const std::string key = arg.substr(open + 1, close - open - 1);
        std::optional<std::string> value;
        if (key == "model") value = plan.model.string();
        if (key == "sweep_dir") value = plan.file.parent_path().string();
        for (std::size_t k = 0; k < plan.variables.size(); ++k)
            if (plan.variables[k].name == key) value = value_text(plan.points.at(index)[k]);
        out += arg.substr(i, open - i);
        out += value ? *value : arg.substr(open, close - open + 1);
        i = close + 1;
    }
    return out;
}

}  // namespace cyclesim
