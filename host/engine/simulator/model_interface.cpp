#include "model_interface.h"

#include "errors.h"
#include "model_file.h"
#include "number_text.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <set>

namespace cyclesim {

namespace {

using json = nlohmann::json;

[[noreturn]] void fail(const std::string& where, const std::string& reason)
{
    throw SimulationError(where + ": " + reason);
}

// The shortest text that reads back as the same double.
std::string exact_text(double v)
{
    char buf[40];
    for (int digits = 15; digits <= 17; ++digits) {
        std::snprintf(buf, sizeof buf, "%.*g", digits, v);
        if (std::strtod(buf, nullptr) == v) break;
    }
    return buf;
}

bool is_identifier(const std::string& s)
{
    if (s.empty() || s.size() > 100) return false;
    auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; };
    if (!letter(s[0])) return false;
    for (char c : s)
        if (!letter(c) && !(c >= '0' && c <= '9')) return false;
    return true;
}

void check_keys(const json& entry, const std::set<std::string>& allowed, const std::string& where)
{
    for (auto it = entry.begin(); it != entry.end(); ++it)
        if (!allowed.count(it.key()) && it.key() != "comment") {
            std::string list;
            for (const auto& k : allowed) list += (list.empty() ? "" : ", ") + k;
            fail(where, "unknown key \"" + it.key() + "\" (allowed here: " + list + ", comment)");
        }
}

std::string text_of(const json& entry, const std::string& key, const std::string& where, bool required,
                    std::size_t longest = 200)
{
    if (!entry.contains(key)) {
        if (required) fail(where, "missing \"" + key + "\"");
        return {};
    }
    const json& v = entry[key];
    if (!v.is_string() || v.get<std::string>().size() > longest)
        fail(where + "." + key, "expected a text of at most " + std::to_string(longest) + " characters");
    return v.get<std::string>();
}

// Name, unit and description, common to every entry.
void read_common(const json& entry, InterfaceVariable& v, const std::string& where, std::set<std::string>& names)
{
    v.where = where;
    v.name = text_of(entry, "name", where, true);
    if (!is_identifier(v.name))
        fail(where + ".name", "\"" + v.name + "\" is not a name other tools accept: a letter or '_', then letters, "
                              "digits or '_' (at most 100)");
    if (!names.insert(v.name).second) fail(where + ".name", "\"" + v.name + "\" is declared twice in the interface");
    v.unit = text_of(entry, "unit", where, true, 40);
    if (v.unit.empty()) fail(where + ".unit", "empty: give the unit (\"1\" for a plain number)");
    for (char c : v.unit)
        if (static_cast<unsigned char>(c) < 0x20 || c == '"' || c == '<' || c == '>' || c == '&')
            fail(where + ".unit", "\"" + v.unit + "\" holds a character a unit name may not hold");
    v.description = text_of(entry, "description", where, false);
}

const json& section_list(const json& section, const std::string& key, const std::string& where)
{
    static const json none = json::array();
    if (!section.contains(key)) return none;
    if (!section[key].is_array()) fail(where + "." + key, "expected an array");
    return section[key];
}

// The block object named `name` in the document, or null.
const json* find_block_object(const json& document, const std::string& name)
{
    if (!document.contains("blocks") || !document["blocks"].is_array()) return nullptr;
    for (const auto& b : document["blocks"])
        if (b.is_object() && b.value("name", "") == name) return &b;
    return nullptr;
}

// The value an input block holds at the start time: element `element` of a
// constant's value, or of a step's value before or after its time.
double input_start_value(const json& block, int element, double start_time, const std::string& where)
{
    const std::string type = block.value("type", "");
    json value;
    if (type == "constant") {
        value = block.value("value", json());
    } else if (type == "step") {
        const bool after = start_time >= block.value("time", 0.0);
        value = block.value(after ? "after" : "before", json(after ? 1.0 : 0.0));
    } else {
        fail(where + ".block", "block '" + block.value("name", "") + "' is a " + (type.empty() ? "S-function" : type) +
                                   " block; an input sets a constant (or step) block");
    }
    if (value.is_number()) value = json::array({value});
    if (!value.is_array() || element < 0 || element >= static_cast<int>(value.size()))
        fail(where + ".element", "block '" + block.value("name", "") + "' has " +
                                     std::to_string(value.is_array() ? value.size() : 0) + " elements; there is no element " +
                                     std::to_string(element));
    // A scalar before/after of a wider step is broadcast: its one value holds.
    if (!value[element].is_number()) fail(where, "the block's value is not a number");
    return value[element].get<double>();
}

// The number `setting` (BLOCK.PARAM[.FIELD]) names in the document, as
// `--set` would find it.
double setting_value(const json& document, const std::string& setting, const std::string& where)
{
    std::vector<std::string> path;
    std::size_t from = 0;
    for (;;) {
        const auto dot = setting.find('.', from);
        path.push_back(setting.substr(from, dot == std::string::npos ? std::string::npos : dot - from));
        if (dot == std::string::npos) break;
        from = dot + 1;
    }
    if (path.size() < 2 || path.size() > 3) fail(where + ".set", "expected BLOCK.PARAM[.FIELD], got \"" + setting + "\"");
    const json* block = find_block_object(document, path[0]);
    if (!block) fail(where + ".set", "no block named '" + path[0] + "'");
    const json* target = nullptr;
    if (block->value("type", "sfunction") == "sfunction") {
        static const json no_params = json::array();
        const json& params = block->contains("params") && (*block)["params"].is_array() ? (*block)["params"] : no_params;
        std::size_t used = 0;
        int position = -1;
        try {
            position = std::stoi(path[1], &used);
        } catch (...) {
        }
        if (used != path[1].size() || position < 1 || position > static_cast<int>(params.size()))
            fail(where + ".set", "block '" + path[0] + "' has " + std::to_string(params.size()) +
                                     " dialog parameters; PARAM is the 1-based position, got \"" + path[1] + "\"");
        target = &params[position - 1];
        if (path.size() == 3) {
            if (!target->is_object() || !target->contains(path[2]))
                fail(where + ".set", "dialog parameter " + path[1] + " of block '" + path[0] + "' has no field \"" +
                                         path[2] + "\"");
            target = &(*target)[path[2]];
        }
    } else {
        if (path.size() == 3) fail(where + ".set", "block '" + path[0] + "' is a source or built-in block: no fields");
        if (!block->contains(path[1])) fail(where + ".set", "block '" + path[0] + "' has no setting \"" + path[1] + "\" in the model file");
        target = &(*block)[path[1]];
    }
    if (!target->is_number())
        fail(where + ".set", "\"" + setting + "\" is not a number in the model file; a parameter is one number");
    return target->get<double>();
}

}  // namespace

InterfaceSpec parse_interface(const json& document, const ModelSpec& model, const std::string& file)
{
    InterfaceSpec out;
    if (!document.contains("interface")) return out;
    const std::string where = file + ": interface";
    const json& section = document["interface"];
    if (!section.is_object()) fail(where, "expected an object with inputs, outputs, parameters");
    check_keys(section, {"inputs", "outputs", "parameters"}, where);
    std::set<std::string> names;
    std::set<std::pair<std::string, int>> input_elements;

    const json& inputs = section_list(section, "inputs", where);
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        const std::string w = where + ".inputs[" + std::to_string(i) + "]";
        const json& e = inputs[i];
        if (!e.is_object()) fail(w, "expected an object with name, block, element, unit, description");
        check_keys(e, {"name", "block", "element", "unit", "description"}, w);
        InterfaceInput in;
        read_common(e, in, w, names);
        in.block = text_of(e, "block", w, true);
        if (e.contains("element")) {
            if (!e["element"].is_number_integer() || e["element"].get<long long>() < 0 || e["element"].get<long long>() > 1000000)
                fail(w + ".element", "expected a whole number from 0");
            in.element = e["element"].get<int>();
        }
        const json* block = find_block_object(document, in.block);
        if (!block || !model.find_block(in.block)) fail(w + ".block", "no block named '" + in.block + "'");
        in.start = input_start_value(*block, in.element, model.solver.start_time, w);
        if (!input_elements.insert({in.block, in.element}).second)
            fail(w, "element " + std::to_string(in.element) + " of block '" + in.block + "' is already an input");
        out.inputs.push_back(std::move(in));
    }

    const json& outputs = section_list(section, "outputs", where);
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        const std::string w = where + ".outputs[" + std::to_string(i) + "]";
        const json& e = outputs[i];
        if (!e.is_object()) fail(w, "expected an object with name, signal, unit, description");
        check_keys(e, {"name", "signal", "unit", "description"}, w);
        InterfaceOutput o;
        read_common(e, o, w, names);
        o.signal = text_of(e, "signal", w, true);
        const SignalSpec signal = SignalSpec::parse(o.signal, w + ".signal");
        if (signal.element < 0) fail(w + ".signal", "an output names one element: block.port.element");
        if (!model.find_block(signal.block)) fail(w + ".signal", "no block named '" + signal.block + "'");
        out.outputs.push_back(std::move(o));
    }

    const json& parameters = section_list(section, "parameters", where);
    for (std::size_t i = 0; i < parameters.size(); ++i) {
        const std::string w = where + ".parameters[" + std::to_string(i) + "]";
        const json& e = parameters[i];
        if (!e.is_object()) fail(w, "expected an object with name, set, unit, description");
        check_keys(e, {"name", "set", "unit", "description"}, w);
        InterfaceParameter p;
        read_common(e, p, w, names);
        p.setting = text_of(e, "set", w, true);
        p.start = setting_value(document, p.setting, w);
        out.parameters.push_back(std::move(p));
    }
    return out;
}

json bind_interface(json document, const InterfaceSpec& interface, const std::vector<double>& parameters,
                    const std::vector<double>& inputs, const std::string& file)
{
    if (parameters.size() != interface.parameters.size() || inputs.size() != interface.inputs.size())
        throw SimulationError("bind_interface: the values do not match the interface");
    for (std::size_t i = 0; i < parameters.size(); ++i) {
        if (!std::isfinite(parameters[i]))
            fail("parameter " + interface.parameters[i].name, "must be finite, got " + number_text(parameters[i]));
        apply_override(document, interface.parameters[i].setting + "=" + exact_text(parameters[i]), file);
    }
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        const InterfaceInput& in = interface.inputs[i];
        json* block = nullptr;
        for (auto& b : document["blocks"])
            if (b.is_object() && b.value("name", "") == in.block) block = &b;
        if (!block) fail(in.where, "no block named '" + in.block + "'");
        if (block->value("type", "") == "step") {
            // Held at its start-time value; the importer sets it from here on.
            json value = (*block)[document.value("solver", json::object()).value("start_time", 0.0) >=
                                          block->value("time", 0.0)
                                      ? "after"
                                      : "before"];
            json constant = {{"name", in.block}, {"type", "constant"}, {"value", value.is_null() ? json(0.0) : value}};
            if (block->contains("width") && !value.is_array())
                constant["value"] = json(std::vector<double>(block->value("width", 1), value.get<double>()));
            *block = constant;
        }
        json& value = (*block)["value"];
        if (value.is_number())
            value = inputs[i];
        else if (value.is_array() && in.element < static_cast<int>(value.size()))
            value[in.element] = inputs[i];
        else
            fail(in.where, "block '" + in.block + "' has no element " + std::to_string(in.element));
    }
    json log = json::array();
    for (const auto& o : interface.outputs)
        log.push_back({{"signal", o.signal}, {"name", o.name}, {"unit", o.unit}});
    document["log"] = log;
    document.erase("plots");
    if (document.contains("solver") && document["solver"].is_object()) document["solver"].erase("settle");
    return document;
}

}  // namespace cyclesim
