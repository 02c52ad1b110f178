// What the simulator's own blocks share: a block with pointer inputs and
// owned outputs, and the reading of its model-file settings with messages
// that name the block and the key.
#pragma once

#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "builtin_blocks.h"
#include "errors.h"
#include "model_file.h"
#include "number_text.h"
#include "sim_block.h"

namespace cyclesim {

inline const double kUnconnected = 0.0;

class BuiltinBlock : public SimBlock {
public:
    BuiltinBlock(const std::string& name, std::string kind) : SimBlock(name), kind_(std::move(kind)) {}

    std::string kind() const override { return kind_; }
    int num_inputs() const override { return static_cast<int>(inputs_.size()); }
    int input_width(int port) const override
    {
        return port >= 0 && port < num_inputs() ? static_cast<int>(inputs_[port].size()) : 0;
    }
    bool direct_feedthrough(int port) const override { return port >= 0 && port < num_inputs() && feedthrough_; }
    void connect_input(int port, int element, const double* source) override
    {
        if (port < 0 || port >= num_inputs() || element < 0 || element >= input_width(port))
            throw SimulationError("block '" + name() + "': no input element " + std::to_string(element) +
                                  " on port " + std::to_string(port));
        inputs_[port][element] = source;
    }
    int num_outputs() const override { return static_cast<int>(outputs_.size()); }
    std::span<double> output(int port) override
    {
        if (port < 0 || port >= num_outputs()) return {};
        return outputs_[port];
    }

protected:
    void add_input(int width) { inputs_.emplace_back(static_cast<std::size_t>(width), &kUnconnected); }
    void add_output(int width) { outputs_.emplace_back(static_cast<std::size_t>(width), 0.0); }
    double in(int port, int element) const { return *inputs_[port][element]; }
    std::vector<double>& out(int port) { return outputs_[port]; }

    bool feedthrough_ = false;

private:
    std::string kind_;
    std::vector<std::vector<const double*>> inputs_;
    std::vector<std::vector<double>> outputs_;
};

// Collects, while it lives, every setting name the built-in blocks ask
// about on this thread (used to prove that each type's list of settings is
// exactly what its constructor reads).
class SettingsReadLog {
public:
    SettingsReadLog() : previous_(current()) { current() = &keys_; }
    ~SettingsReadLog() { current() = previous_; }
    SettingsReadLog(const SettingsReadLog&) = delete;
    SettingsReadLog& operator=(const SettingsReadLog&) = delete;

    const std::set<std::string>& keys() const { return keys_; }
    static std::set<std::string>*& current()
    {
        static thread_local std::set<std::string>* log = nullptr;
        return log;
    }

private:
    std::set<std::string> keys_;
    std::set<std::string>* previous_;
};

// Reads the vector settings of a block and brings them to one width. The
// settings a type accepts are listed once, in builtin_block_types(); asking
// for one that is not listed there is a programming error, reported as such
// (the model file could never supply it).
class Settings {
    using json = nlohmann::json;

public:
    explicit Settings(const BlockSpec& spec) : spec_(spec)
    {
        const BuiltinBlockType* type = find_builtin_block_type(spec.type);
        if (!type) throw SimulationError(spec.where + ": '" + spec.type + "' is not a built-in block type");
        declared_ = &type->keys;
    }

    bool declares(const std::string& key) const { return declared_->count(key) != 0; }

    bool has(const std::string& key) const
    {
        require_declared(key);
        return spec_.settings.contains(key);
    }

    // The raw model-file value of a setting that is present.
    const json& value(const std::string& key) const
    {
        if (!has(key)) fail(key, "missing setting");
        return spec_.settings.at(key);
    }

    std::vector<double> vector(const std::string& key, std::optional<double> fallback = std::nullopt)
    {
        std::vector<double> v;
        if (!has(key)) {
            if (!fallback) fail(key, "missing setting");
            v = {*fallback};
        } else {
            const json& j = value(key);
            if (j.is_number()) {
                v = {j.get<double>()};
            } else if (j.is_array() && !j.empty()) {
                for (const auto& x : j) {
                    if (!x.is_number()) fail(key, "expected a number or an array of numbers");
                    v.push_back(x.get<double>());
                }
            } else {
                fail(key, "expected a number or a non-empty array of numbers");
            }
            for (double x : v)
                if (!std::isfinite(x)) fail(key, "values must be finite");
        }
        if (v.size() > 1) {
            if (width_ > 1 && static_cast<int>(v.size()) != width_)
                fail(key, "has " + std::to_string(v.size()) + " elements, other settings " + std::to_string(width_));
            width_ = static_cast<int>(v.size());
        }
        return v;
    }

    double scalar(const std::string& key, std::optional<double> fallback = std::nullopt)
    {
        if (!has(key)) {
            if (!fallback) fail(key, "missing setting");
            return *fallback;
        }
        const json& j = value(key);
        if (!j.is_number() || !std::isfinite(j.get<double>())) fail(key, "expected a finite number");
        return j.get<double>();
    }

    // Width: an explicit "width" setting (for the types that accept one) or
    // the longest vector setting.
    int width()
    {
        if (declares("width") && has("width")) {
            const json& j = value("width");
            // Compared as the JSON number it is: 4294967297 read as an int
            // would wrap around to 1.
            if (!j.is_number_integer() || j.get<double>() < 1 || j.get<double>() > 100000)
                fail("width", "expected a whole number from 1 to 100000");
            int w = j.get<int>();
            if (width_ > 1 && w != width_)
                fail("width", "is " + std::to_string(w) + " but other settings have " + std::to_string(width_) +
                                  " elements");
            width_ = w;
        }
        return width_;
    }

    // A scalar that may be left out or written null (e.g. no integral action).
    std::optional<double> optional_scalar(const std::string& key)
    {
        if (!has(key) || value(key).is_null()) return std::nullopt;
        return scalar(key);
    }

    // A time constant, slope or other setting that must be above zero.
    double positive(const std::string& key, std::optional<double> fallback = std::nullopt)
    {
        double v = scalar(key, fallback);
        if (!(v > 0.0)) fail(key, "must be positive (is " + number_text(v) + ")");
        return v;
    }

    // One text out of a few; the first is the default.
    std::string choice(const std::string& key, std::initializer_list<const char*> allowed)
    {
        std::string list;
        for (const char* a : allowed) list += std::string(list.empty() ? "" : ", ") + "\"" + a + "\"";
        if (!has(key)) return *allowed.begin();
        const json& j = value(key);
        if (j.is_string())
            for (const char* a : allowed)
                if (j.get<std::string>() == a) return a;
        fail(key, "expected one of " + list);
    }

    bool flag(const std::string& key, bool fallback)
    {
        if (!has(key)) return fallback;
        const json& j = value(key);
        if (!j.is_boolean()) fail(key, "expected true or false");
        return j.get<bool>();
    }

    // "lower" and "upper" (absent: infinite). Read them with the other vector
    // settings, before width(); check their order once broadcast.
    std::vector<double> limit(const std::string& key)
    {
        return has(key) ? vector(key) : std::vector<double>{key == "lower" ? -INFINITY : INFINITY};
    }
    void check_limits(const std::vector<double>& lower, const std::vector<double>& upper) const
    {
        for (std::size_t i = 0; i < lower.size() && i < upper.size(); ++i)
            if (lower[i] > upper[i])
                fail("lower", "is above upper (" + number_text(lower[i]) + " > " + number_text(upper[i]) +
                                  (lower.size() > 1 ? ", element " + std::to_string(i) : std::string()) + ")");
    }

    static std::string number_text(double v) { return cyclesim::number_text(v); }

    static std::vector<double> broadcast(std::vector<double> v, int width)
    {
        if (v.size() == 1 && width > 1) v.assign(static_cast<std::size_t>(width), v[0]);
        return v;
    }

    [[noreturn]] void fail(const std::string& key, const std::string& reason) const
    {
        throw SimulationError(spec_.where + "." + key + ": " + reason);
    }

private:
    void require_declared(const std::string& key) const
    {
        if (std::set<std::string>* log = SettingsReadLog::current()) log->insert(key);
        if (!declares(key))
            throw SimulationError(spec_.where + ": internal error: the '" + spec_.type + "' block reads a setting \"" +
                                  key + "\" that its type does not list");
    }

    const BlockSpec& spec_;
    const std::set<std::string>* declared_ = nullptr;
    int width_ = 1;
};

}  // namespace cyclesim
