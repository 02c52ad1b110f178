#include "model_file.h"

#include <algorithm>

#include "builtin_blocks.h"
#include "dialog_reference.h"
#include "plot_spec.h"

#include "bounded_file.h"
#include "errors.h"
#include "json_depth.h"
#include "json_messages.h"
#include "name_suggestion.h"
#include "number_text.h"

#include <cmath>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <tuple>

namespace cyclesim {

namespace {

using json = nlohmann::json;

// Settings an S-function block accepts besides name, type and comment; the
// built-in types list theirs in builtin_block_types().
const std::set<std::string> kSfunctionKeys = {"sfunction", "params"};

// The settings of block type `type`, or null for an unknown type.
const std::set<std::string>* block_keys(const std::string& type)
{
    if (type == "sfunction") return &kSfunctionKeys;
    const BuiltinBlockType* builtin = find_builtin_block_type(type);
    return builtin ? &builtin->keys : nullptr;
}

std::string join(const std::set<std::string>& names)
{
    std::string out;
    for (const auto& n : names) out += (out.empty() ? "" : ", ") + n;
    return out;
}

[[noreturn]] void fail(const std::string& where, const std::string& reason)
{
    throw SimulationError(where + ": " + reason);
}

void check_keys(const json& object, const std::set<std::string>& allowed, const std::string& where)
{
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (it.key() == "comment") continue;
        if (!allowed.count(it.key())) {
            const std::string near = nearest_name(it.key(), {allowed.begin(), allowed.end()});
            fail(where, "unknown key \"" + message_excerpt(it.key()) + "\"" +
                            (near.empty() ? std::string() : " (did you mean \"" + near + "\"?)") +
                            " (allowed here: " + join(allowed) + ", comment)");
        }
    }
}

const json& require(const json& object, const std::string& key, const std::string& where)
{
    auto it = object.find(key);
    if (it == object.end()) fail(where, "missing key \"" + key + "\"");
    return *it;
}

std::string require_string(const json& object, const std::string& key, const std::string& where)
{
    const json& v = require(object, key, where);
    if (!v.is_string() || v.get_ref<const std::string&>().empty())
        fail(where + "." + key, "expected a non-empty text");
    return v.get<std::string>();
}

double read_number(const json& object, const std::string& key, const std::string& where, double fallback,
                   bool positive = false)
{
    auto it = object.find(key);
    if (it == object.end()) return fallback;
    if (!it->is_number() || !std::isfinite(it->get<double>())) fail(where + "." + key, "expected a finite number");
    double v = it->get<double>();
    if (positive && !(v > 0)) fail(where + "." + key, "must be positive");
    return v;
}

bool valid_block_name(const std::string& name)
{
    if (name.empty()) return false;
    for (char c : name)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-')) return false;
    return true;
}

int parse_index(const std::string& text, const std::string& what, const std::string& where)
{
    if (text.empty() || text.size() > 6 || text.find_first_not_of("0123456789") != std::string::npos)
        fail(where, what + " \"" + text + "\" is not a non-negative integer");
    return std::stoi(text);
}

std::vector<std::string> split(const std::string& text, char sep)
{
    std::vector<std::string> parts;
    std::string cur;
    for (char c : text) {
        if (c == sep) {
            parts.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    parts.push_back(cur);
    return parts;
}

void parse_blocks(const json& doc, ModelSpec& model, const std::string& file)
{
    const json& blocks = require(doc, "blocks", file);
    if (!blocks.is_array() || blocks.empty()) fail(file + ": blocks", "expected a non-empty array of blocks");
    if (blocks.size() > kMaxBlocks)
        fail(file + ": blocks", std::to_string(blocks.size()) + " blocks; a model may have at most " +
                                    std::to_string(kMaxBlocks));
    std::set<std::string> names;
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        std::string where = file + ": blocks[" + std::to_string(i) + "]";
        const json& b = blocks[i];
        if (!b.is_object()) fail(where, "expected an object");
        BlockSpec spec;
        spec.name = require_string(b, "name", where);
        where = file + ": block '" + spec.name + "'";
        if (!valid_block_name(spec.name))
            fail(where, "a block name may hold letters, digits, '_' and '-' only");
        if (!names.insert(spec.name).second) fail(where, "duplicate block name");
        if (b.contains("type"))
            spec.type = require_string(b, "type", where);
        else if (b.contains("sfunction"))
            spec.type = "sfunction";
        else
            fail(where, "missing key \"type\"");
        const std::set<std::string>* keys = block_keys(spec.type);
        if (!keys) {
            std::set<std::string> types = {"sfunction"};
            for (const auto& t : builtin_block_types()) types.insert(t.type);
            fail(where + ".type", "unknown block type \"" + spec.type + "\" (known: " + join(types) + ")");
        }
        std::set<std::string> allowed = *keys;
        allowed.insert({"name", "type"});
        check_keys(b, allowed, where);
        if (spec.type == "sfunction") {
            require_string(b, "sfunction", where);
            const json& params = require(b, "params", where);
            if (!params.is_array()) fail(where + ".params", "expected an array of dialog values in dialog order");
        }
        spec.settings = b;
        spec.where = where;
        model.blocks.push_back(std::move(spec));
    }
}

void parse_connections(const json& doc, ModelSpec& model, const std::string& file)
{
    auto it = doc.find("connections");
    if (it == doc.end()) return;
    if (!it->is_array()) fail(file + ": connections", "expected an array");
    if (it->size() > kMaxConnections)
        fail(file + ": connections", std::to_string(it->size()) + " connections; a model may have at most " +
                                         std::to_string(kMaxConnections));
    for (std::size_t i = 0; i < it->size(); ++i) {
        std::string where = file + ": connections[" + std::to_string(i) + "]";
        const json& c = (*it)[i];
        if (!c.is_object()) fail(where, "expected an object {\"from\": ..., \"to\": ...}");
        check_keys(c, {"from", "to"}, where);
        ConnectionSpec spec;
        spec.from = SignalSpec::parse(require_string(c, "from", where), where + ".from");
        spec.to = SignalSpec::parse(require_string(c, "to", where), where + ".to");
        spec.where = where;
        for (const SignalSpec* s : {&spec.from, &spec.to})
            if (!model.find_block(s->block))
                fail(where, "no block named '" + s->block + "' (in \"" + s->text + "\")");
        model.connections.push_back(std::move(spec));
    }
}

void parse_log(const json& doc, ModelSpec& model, const std::string& file)
{
    auto it = doc.find("log");
    if (it == doc.end()) {
        model.warnings.push_back(file + ": no \"log\" entries: results.csv will hold the time only");
        return;
    }
    if (!it->is_array()) fail(file + ": log", "expected an array");
    std::set<std::string> names;
    for (std::size_t i = 0; i < it->size(); ++i) {
        std::string where = file + ": log[" + std::to_string(i) + "]";
        const json& l = (*it)[i];
        LogSpec spec;
        if (l.is_string()) {
            spec.signal = SignalSpec::parse(l.get<std::string>(), where);
        } else if (l.is_object()) {
            check_keys(l, {"signal", "name", "unit", "description"}, where);
            spec.signal = SignalSpec::parse(require_string(l, "signal", where), where + ".signal");
            if (l.contains("name")) spec.name = require_string(l, "name", where);
            if (l.contains("description")) {
                if (!l["description"].is_string() || l["description"].get<std::string>().size() > 200)
                    fail(where + ".description", "expected a text of at most 200 characters");
                spec.description = l["description"].get<std::string>();
            }
            if (l.contains("unit")) {
                if (!l["unit"].is_string()) fail(where + ".unit", "expected a text");
                spec.unit = l["unit"].get<std::string>();
            }
        } else {
            fail(where, "expected \"block.port.element\" or an object with signal, name, unit");
        }
        if (spec.signal.element < 0) fail(where, "a logged signal names one element: block.port.element");
        if (!model.find_block(spec.signal.block))
            fail(where, "no block named '" + spec.signal.block + "' (in \"" + spec.signal.text + "\")");
        if (spec.name.empty()) spec.name = spec.signal.text;
        for (char c : spec.name + spec.unit)
            if (c == ',' || c == '"' || c == '\n') fail(where, "names and units may not hold commas, quotes or line breaks");
        if (!names.insert(spec.name).second) fail(where, "duplicate logged name \"" + spec.name + "\"");
        spec.where = where;
        model.log.push_back(std::move(spec));
    }
}

void parse_guesses(const json& doc, ModelSpec& model, const std::string& file)
{
    auto it = doc.find("loop_guesses");
    if (it == doc.end()) return;
    const std::string where = file + ": loop_guesses";
    if (!it->is_object()) fail(where, "expected an object {\"block.port.element\": value, ...}");
    for (auto g = it->begin(); g != it->end(); ++g) {
        if (g.key() == "comment") continue;
        GuessSpec spec;
        spec.where = where + ".\"" + g.key() + "\"";
        spec.signal = SignalSpec::parse(g.key(), spec.where);
        if (spec.signal.element < 0) fail(spec.where, "a guess names one element: block.port.element");
        if (!model.find_block(spec.signal.block)) fail(spec.where, "no block named '" + spec.signal.block + "'");
        if (g->is_string()) {
            spec.value = dialog_number(doc, g->get<std::string>(), spec.where);  // follows that value
        } else {
            if (!g->is_number() || !std::isfinite(g->get<double>()))
                fail(spec.where, "expected a finite number or BLOCK.PARAM[.FIELD] naming one");
            spec.value = g->get<double>();
        }
        model.loop_guesses.push_back(std::move(spec));
    }
}

void parse_solver(const json& doc, ModelSpec& model, const std::string& file)
{
    auto it = doc.find("solver");
    if (it == doc.end()) {
        model.warnings.push_back(file + ": no \"solver\" settings: defaults used (stop_time " +
                                 number_text(model.solver.stop_time) + ")");
        return;
    }
    const std::string where = file + ": solver";
    if (!it->is_object()) fail(where, "expected an object");
    check_keys(*it, {"start_time", "stop_time", "rtol", "atol", "max_step", "initial_step", "output_interval",
                     "method", "loop_tolerance", "loop_max_iterations", "max_steps", "settle"},
               where);
    SolverSpec& s = model.solver;
    s.start_time = read_number(*it, "start_time", where, s.start_time);
    s.stop_time = read_number(*it, "stop_time", where, s.stop_time);
    s.rtol = read_number(*it, "rtol", where, s.rtol, true);
    s.atol = read_number(*it, "atol", where, s.atol, true);
    s.max_step = read_number(*it, "max_step", where, s.max_step, true);
    s.initial_step = read_number(*it, "initial_step", where, s.initial_step, true);
    s.output_interval = read_number(*it, "output_interval", where, s.output_interval, true);
    s.loop_tolerance = read_number(*it, "loop_tolerance", where, s.loop_tolerance, true);
    double iters = read_number(*it, "loop_max_iterations", where, s.loop_max_iterations, true);
    if (iters != std::floor(iters) || iters > 10000) fail(where + ".loop_max_iterations", "expected an integer up to 10000");
    s.loop_max_iterations = static_cast<int>(iters);
    const double steps = read_number(*it, "max_steps", where, static_cast<double>(s.max_steps), true);
    if (steps != std::floor(steps) || steps > 1e12) fail(where + ".max_steps", "expected a whole number up to 1e12");
    s.max_steps = static_cast<long>(steps);
    if (it->contains("method")) {
        std::string m = require_string(*it, "method", where);
        if (m == "BDF" || m == "bdf")
            s.method = Method::BDF;
        else if (m == "Adams" || m == "adams" || m == "ADAMS")
            s.method = Method::Adams;
        else
            fail(where + ".method", "expected \"BDF\" or \"Adams\"");
    }
}

StartFrom parse_start_from(const std::string& text, const std::string& where)
{
    if (text == "dialog") return StartFrom::dialog;
    if (text == "charge") return StartFrom::charge;
    if (text == "auto") return StartFrom::automatic;
    if (text == "steady") return StartFrom::steady;
    fail(where, "expected \"dialog\", \"charge\", \"auto\" or \"steady\", got \"" + text + "\"");
}

void parse_start(const json& doc, ModelSpec& model, const std::string& file, const ModelOverrides& overrides)
{
    StartSpec& s = model.start;
    auto it = doc.find("start");
    if (it != doc.end()) {
        const std::string where = file + ": start";
        if (!it->is_object()) fail(where, "expected an object");
        check_keys(*it, {"from", "charge", "condenser", "approach", "subcooling", "steady_tolerance"}, where);
        if (it->contains("charge")) s.charge = read_number(*it, "charge", where, 0.0, true);
        // A charge given means the unit starts from it unless told otherwise.
        if (s.charge) s.from = StartFrom::charge;
        if (it->contains("from")) s.from = parse_start_from(require_string(*it, "from", where), where + ".from");
        if (it->contains("condenser")) s.condenser = require_string(*it, "condenser", where);
        s.approach = read_number(*it, "approach", where, s.approach, true);
        s.subcooling = read_number(*it, "subcooling", where, s.subcooling, true);
        s.steady_tolerance = read_number(*it, "steady_tolerance", where, s.steady_tolerance, true);
    }
    if (overrides.charge) {
        if (!(std::isfinite(*overrides.charge) && *overrides.charge > 0))
            fail("--charge", "expected a positive number of kg");
        s.charge = *overrides.charge;
        if (s.from == StartFrom::dialog || s.from == StartFrom::automatic) s.from = StartFrom::charge;
    }
    for (auto [value, target, name] : {std::tuple{overrides.approach, &s.approach, "--approach"},
                                       std::tuple{overrides.subcooling, &s.subcooling, "--subcooling"}}) {
        if (!value) continue;
        if (!(std::isfinite(*value) && *value > 0)) fail(name, "expected a positive number of K");
        *target = *value;
    }
    if (overrides.start_from) {
        s.from = parse_start_from(*overrides.start_from, "--start");
        s.from_given = true;
    }
}

}  // namespace

SignalSpec SignalSpec::parse(const std::string& text, const std::string& where)
{
    auto parts = split(text, '.');
    if (parts.size() < 2 || parts.size() > 3 || parts[0].empty())
        fail(where, "signal \"" + text + "\" must be written block.port.element or block.port");
    SignalSpec s;
    s.text = text;
    s.block = parts[0];
    s.port = parse_index(parts[1], "port", where);
    if (parts.size() == 3) s.element = parse_index(parts[2], "element", where);
    return s;
}

const BlockSpec* ModelSpec::find_block(const std::string& n) const
{
    auto lookup = [&]() -> const BlockSpec* {
        const auto it = block_positions_.find(n);
        if (it == block_positions_.end() || it->second >= blocks.size()) return nullptr;
        return blocks[it->second].name == n ? &blocks[it->second] : nullptr;
    };
    if (block_positions_.size() == blocks.size()) {
        if (const BlockSpec* b = lookup()) return b;
    }
    // Built anew (the first time, or after the blocks changed); the first
    // of equal names wins, as a scan would find it.
    block_positions_.clear();
    for (std::size_t i = 0; i < blocks.size(); ++i) block_positions_.emplace(blocks[i].name, i);
    return lookup();
}

void apply_override(json& document, const std::string& assignment, const std::string& file)
{
    const std::string where = "--set " + message_excerpt(assignment);
    auto eq = assignment.find('=');
    if (eq == std::string::npos || eq == 0) fail(where, "expected BLOCK.PARAM[.FIELD]=VALUE");
    auto path = split(assignment.substr(0, eq), '.');
    std::string text = assignment.substr(eq + 1);
    if (path.size() < 2 || path.size() > 3) fail(where, "expected BLOCK.PARAM[.FIELD]=VALUE");
    check_json_depth(text, where);
    json value;
    try {
        value = json::parse(text);
    } catch (const json::parse_error&) {
        value = text;  // plain text, e.g. a fluid name
    } catch (const json::exception& e) {
        fail(where, "VALUE " + json_reason(e));  // e.g. a number beyond the range of a double
    }
    if (value.is_string()) {
        // "NaN", "inf", "-Infinity": meant as numbers, but no setting takes a
        // non-finite one; say so here rather than blame the model file.
        char* end = nullptr;
        const double x = std::strtod(text.c_str(), &end);
        if (!text.empty() && end && *end == '\0' && !std::isfinite(x))
            fail(where, "VALUE must be a finite number, got \"" + text + "\"");
    }
    if (!document.is_object() || !document.contains("blocks") || !document["blocks"].is_array())
        fail(where, file + " has no blocks array");
    json* block = nullptr;
    for (auto& b : document["blocks"])
        if (b.is_object() && b.value("name", "") == path[0]) block = &b;
    if (!block) fail(where, "no block named '" + path[0] + "' in " + file);
    const bool sfunction = block->value("type", block->contains("sfunction") ? "sfunction" : "") == "sfunction";
    if (sfunction) {
        json& params = (*block)["params"];
        int position = parse_index(path[1], "dialog position", where);
        if (!params.is_array() || position < 1 || position > static_cast<int>(params.size()))
            fail(where, "block '" + path[0] + "' has " + std::to_string(params.is_array() ? params.size() : 0) +
                            " dialog parameters; PARAM is the 1-based position");
        json& target = params[position - 1];
        if (path.size() == 3) {
            if (!target.is_object())
                fail(where, "dialog parameter " + path[1] + " of block '" + path[0] + "' is not a record");
            if (!target.contains(path[2]))
                fail(where, "dialog parameter " + path[1] + " of block '" + path[0] + "' has no field \"" +
                                path[2] + "\"");
            target[path[2]] = value;
        } else {
            target = value;
        }
    } else {
        if (path.size() == 3) fail(where, "block '" + path[0] + "' is a source or built-in block: no fields");
        std::string type = block->value("type", "");
        const std::set<std::string>* keys = type == "sfunction" ? nullptr : block_keys(type);
        if (!keys || !keys->count(path[1]))
            fail(where, "block '" + path[0] + "' (" + type + ") has no setting \"" + path[1] + "\"");
        (*block)[path[1]] = value;
    }
}

ModelSpec parse_model(json doc, const std::filesystem::path& file_path, const ModelOverrides& overrides)
{
    const std::string file = file_path.string();
    if (!doc.is_object()) fail(file, "a model file holds one JSON object");
    for (const auto& s : overrides.sets) apply_override(doc, s, file);
    check_keys(doc, {"name", "blocks", "connections", "log", "loop_guesses", "plots", "solver", "start", "interface"}, file);

    ModelSpec model;
    model.file = file_path;
    model.name = doc.contains("name") ? require_string(doc, "name", file) : file_path.stem().string();
    if (model.name.find('/') != std::string::npos || model.name == "." || model.name == "..")
        fail(file + ": name", "the model name may not hold '/'");
    // The name is the default run directory: no line breaks or other
    // control characters in it.
    for (char c : model.name)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            fail(file + ": name", "the model name may not hold control characters");
    parse_blocks(doc, model, file);
    parse_connections(doc, model, file);
    parse_log(doc, model, file);
    parse_guesses(doc, model, file);
    parse_solver(doc, model, file);
    parse_start(doc, model, file, overrides);
    model.interface = parse_interface(doc, model, file);
    {
        std::vector<std::string> logged;
        for (const auto& l : model.log) logged.push_back(l.name);
        if (overrides.settle)
            model.solver.settle = parse_settle(*overrides.settle, "--settle", logged);
        else if (doc.contains("solver") && doc["solver"].is_object() && doc["solver"].contains("settle"))
            model.solver.settle = parse_settle(doc["solver"]["settle"], file + ": solver.settle", logged);
    }
    if (doc.contains("plots")) {
        std::vector<std::string> logged;
        for (const auto& l : model.log) logged.push_back(l.name);
        validate_plot_spec(doc["plots"], logged, file + ": plots");
        model.plots = doc["plots"];
    }
    if (overrides.stop_time) {
        if (!std::isfinite(*overrides.stop_time)) fail("--stop-time", "expected a finite number");
        model.solver.stop_time = *overrides.stop_time;
    }
    if (!(model.solver.stop_time > model.solver.start_time))
        fail(file + ": solver", "stop_time (" + number_text(model.solver.stop_time) +
                                    ") must be later than start_time (" + number_text(model.solver.start_time) +
                                    ")");
    const SolverSpec& sv = model.solver;
    if (sv.output_interval > 0) {
        const double rows = std::floor((sv.stop_time - sv.start_time) / sv.output_interval) + 1.0;
        if (!(rows <= static_cast<double>(kMaxOutputRows)))
            fail(file + ": solver", "output_interval " + number_text(sv.output_interval) + " from start_time " +
                                        number_text(sv.start_time) + " to stop_time " + number_text(sv.stop_time) +
                                        " gives " + number_text(rows) + " rows of results; at most " +
                                        std::to_string(kMaxOutputRows) + " are written");
    }
    return model;
}

ModelSpec load_model(const std::filesystem::path& file, const ModelOverrides& overrides)
{
    const std::string text = read_bounded_file(file, kModelFileLimit, "model file");
    check_json_depth(text, file.string());
    json doc;
    try {
        doc = json::parse(text);
    } catch (const json::exception& e) {
        throw SimulationError(file.string() + ": invalid JSON: " + json_reason(e));
    }
    return parse_model(std::move(doc), file, overrides);
}

}  // namespace cyclesim
