#include "builtin_blocks.h"

#include "builtin_block_base.h"
#include "control_blocks.h"
#include "csv_reader.h"
#include "errors.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>

namespace cyclesim {

namespace {

using json = nlohmann::json;

class ConstantBlock final : public BuiltinBlock {
public:
    explicit ConstantBlock(const BlockSpec& spec) : BuiltinBlock(spec.name, "constant")
    {
        Settings s(spec);
        auto v = s.vector("value");
        add_output(s.width());
        std::copy(v.begin(), v.end(), out(0).begin());
    }
    void outputs(double, bool) override {}
};

class StepBlock final : public BuiltinBlock {
public:
    explicit StepBlock(const BlockSpec& spec) : BuiltinBlock(spec.name, "step")
    {
        Settings s(spec);
        time_ = s.scalar("time");
        before_ = s.vector("before", 0.0);
        after_ = s.vector("after", 1.0);
        int w = s.width();
        before_ = Settings::broadcast(before_, w);
        after_ = Settings::broadcast(after_, w);
        add_output(w);
    }
    void outputs(double t, bool) override
    {
        const auto& v = t >= time_ ? after_ : before_;
        std::copy(v.begin(), v.end(), out(0).begin());
    }
    std::vector<double> breakpoints() const override { return {time_}; }

private:
    double time_;
    std::vector<double> before_, after_;
};

class RampBlock final : public BuiltinBlock {
public:
    explicit RampBlock(const BlockSpec& spec) : BuiltinBlock(spec.name, "ramp")
    {
        Settings s(spec);
        start_ = s.scalar("start_time", 0.0);
        slope_ = s.vector("slope");
        initial_ = s.vector("initial", 0.0);
        int w = s.width();
        slope_ = Settings::broadcast(slope_, w);
        initial_ = Settings::broadcast(initial_, w);
        add_output(w);
    }
    void outputs(double t, bool) override
    {
        double dt = std::max(0.0, t - start_);
        for (std::size_t i = 0; i < slope_.size(); ++i) out(0)[i] = initial_[i] + slope_[i] * dt;
    }
    std::vector<double> breakpoints() const override { return {start_}; }
    std::vector<double> jumps() const override { return {}; }  // the ramp only bends at its start

private:
    double start_;
    std::vector<double> slope_, initial_;
};

class SineBlock final : public BuiltinBlock {
public:
    explicit SineBlock(const BlockSpec& spec) : BuiltinBlock(spec.name, "sine")
    {
        Settings s(spec);
        amplitude_ = s.vector("amplitude", 1.0);
        frequency_ = s.vector("frequency", 1.0);
        phase_ = s.vector("phase", 0.0);
        bias_ = s.vector("bias", 0.0);
        int w = s.width();
        for (auto* v : {&amplitude_, &frequency_, &phase_, &bias_}) *v = Settings::broadcast(*v, w);
        add_output(w);
    }
    void outputs(double t, bool) override
    {
        for (std::size_t i = 0; i < bias_.size(); ++i)
            out(0)[i] = bias_[i] + amplitude_[i] * std::sin(2.0 * std::numbers::pi * frequency_[i] * t + phase_[i]);
    }

private:
    std::vector<double> amplitude_, frequency_, phase_, bias_;
};

// Piecewise-linear table. Equal consecutive times make a jump (the later row
// holds from that time on).
class TableBlock final : public BuiltinBlock {
public:
    TableBlock(const BlockSpec& spec, const std::filesystem::path& model_dir) : BuiltinBlock(spec.name, "table")
    {
        Settings s(spec);
        if (s.has("file")) {
            if (s.has("time") || s.has("values")) s.fail("file", "give either file or time/values, not both");
            read_file(s, model_dir);
        } else {
            if (s.has("columns")) s.fail("columns", "only used with file");
            read_inline(s);
        }
        if (times_.empty()) s.fail("time", "the table has no rows");
        for (std::size_t i = 1; i < times_.size(); ++i)
            if (times_[i] < times_[i - 1]) s.fail("time", "times must not decrease (row " + std::to_string(i + 1) + ")");
        add_output(width_);
    }

    void outputs(double t, bool) override
    {
        auto& y = out(0);
        if (t <= times_.front()) {
            std::copy(rows_.front().begin(), rows_.front().end(), y.begin());
            return;
        }
        if (t >= times_.back()) {
            std::copy(rows_.back().begin(), rows_.back().end(), y.begin());
            return;
        }
        // First row later than t; the segment is [k-1, k].
        std::size_t k = static_cast<std::size_t>(std::upper_bound(times_.begin(), times_.end(), t) - times_.begin());
        double t0 = times_[k - 1], t1 = times_[k];
        // upper_bound puts t in [t0, t1) with t1 > t0, also across a jump.
        double f = (t - t0) / (t1 - t0);
        for (int i = 0; i < width_; ++i) y[i] = rows_[k - 1][i] + f * (rows_[k][i] - rows_[k - 1][i]);
    }

    std::vector<double> breakpoints() const override { return times_; }
    // A row repeating the previous row's time makes a jump; every other row
    // only bends the line.
    std::vector<double> jumps() const override
    {
        std::vector<double> out;
        for (std::size_t i = 1; i < times_.size(); ++i)
            if (times_[i] == times_[i - 1]) out.push_back(times_[i]);
        return out;
    }

private:
    void read_inline(Settings& s)
    {
        const json none;
        const json& t = s.has("time") ? s.value("time") : none;
        const json& v = s.has("values") ? s.value("values") : none;
        if (!t.is_array() || t.empty()) s.fail("time", "expected a non-empty array of times");
        if (!v.is_array() || v.size() != t.size())
            s.fail("values", "expected one value (or one row of values) per time: " + std::to_string(t.size()));
        for (std::size_t i = 0; i < t.size(); ++i) {
            if (!t[i].is_number()) s.fail("time", "expected numbers");
            times_.push_back(t[i].get<double>());
            std::vector<double> row;
            if (v[i].is_number()) {
                row = {v[i].get<double>()};
            } else if (v[i].is_array() && !v[i].empty()) {
                for (const auto& x : v[i]) {
                    if (!x.is_number()) s.fail("values", "row " + std::to_string(i + 1) + " holds a non-number");
                    row.push_back(x.get<double>());
                }
            } else {
                s.fail("values", "row " + std::to_string(i + 1) + " must be a number or an array of numbers");
            }
            add_row(std::move(row), s, "values", i);
        }
    }

    void read_file(Settings& s, const std::filesystem::path& model_dir)
    {
        const json& f = s.value("file");
        if (!f.is_string()) s.fail("file", "expected a file name");
        std::filesystem::path path = f.get<std::string>();
        if (path.is_relative()) path = model_dir / path;
        CsvTable csv;
        try {
            csv = read_csv(path);
        } catch (const SimulationError& e) {
            s.fail("file", e.what());
        }
        const std::vector<std::string>& header = csv.header;
        const std::vector<std::vector<double>>& data = csv.rows;
        for (std::size_t i = 0; i < data.size(); ++i) {
            const std::string line = path.string() + " line " + std::to_string(csv.line_numbers[i]);
            if (data[i].size() < 2) s.fail("file", line + ": needs a time and a value");
            if (data[i].size() != data.front().size())
                s.fail("file", line + ": has " + std::to_string(data[i].size()) + " columns, the first row " +
                                   std::to_string(data.front().size()));
        }
        if (data.empty()) s.fail("file", path.string() + " holds no rows of numbers");

        // Value columns: by name or 1-based number (column 1 is the time).
        std::vector<std::size_t> columns;
        const std::size_t ncols = data.front().size();
        if (s.has("columns")) {
            const json& c = s.value("columns");
            if (!c.is_array() || c.empty()) s.fail("columns", "expected a non-empty array of names or numbers");
            for (const auto& x : c) {
                if (x.is_number_integer()) {
                    int k = x.get<int>();
                    if (k < 2 || k > static_cast<int>(ncols))
                        s.fail("columns", "column " + std::to_string(k) + " is not a value column (2.." +
                                              std::to_string(ncols) + ")");
                    columns.push_back(static_cast<std::size_t>(k - 1));
                } else if (x.is_string()) {
                    auto it = std::find(header.begin(), header.end(), x.get<std::string>());
                    if (it == header.end() || it == header.begin())
                        s.fail("columns", "no value column named \"" + x.get<std::string>() + "\" in " + path.string());
                    columns.push_back(static_cast<std::size_t>(it - header.begin()));
                } else {
                    s.fail("columns", "expected names or numbers");
                }
            }
        } else {
            for (std::size_t k = 1; k < ncols; ++k) columns.push_back(k);
        }
        for (std::size_t i = 0; i < data.size(); ++i) {
            times_.push_back(data[i][0]);
            std::vector<double> row;
            for (auto k : columns) row.push_back(data[i][k]);
            add_row(std::move(row), s, "file", i);
        }
    }

    void add_row(std::vector<double> row, Settings& s, const std::string& key, std::size_t i)
    {
        for (double x : row)
            if (!std::isfinite(x)) s.fail(key, "row " + std::to_string(i + 1) + " holds a non-finite value");
        if (rows_.empty())
            width_ = static_cast<int>(row.size());
        else if (static_cast<int>(row.size()) != width_)
            s.fail(key, "row " + std::to_string(i + 1) + " has " + std::to_string(row.size()) +
                            " values, the first row " + std::to_string(width_));
        rows_.push_back(std::move(row));
    }

    std::vector<double> times_;
    std::vector<std::vector<double>> rows_;
    int width_ = 1;
};

// Holds its input from one major step to the next: the output at a major
// step is the input of the previous one. Not direct feedthrough, so it
// breaks an algebraic loop.
class MemoryBlock final : public BuiltinBlock {
public:
    explicit MemoryBlock(const BlockSpec& spec) : BuiltinBlock(spec.name, "memory")
    {
        Settings s(spec);
        held_ = s.vector("initial", 0.0);
        int w = s.width();
        held_ = Settings::broadcast(held_, w);
        add_input(w);
        add_output(w);
    }
    void outputs(double, bool) override { std::copy(held_.begin(), held_.end(), out(0).begin()); }
    void update(double) override
    {
        for (std::size_t i = 0; i < held_.size(); ++i) held_[i] = in(0, static_cast<int>(i));
    }

private:
    std::vector<double> held_;
};

class GainBlock final : public BuiltinBlock {
public:
    explicit GainBlock(const BlockSpec& spec) : BuiltinBlock(spec.name, "gain")
    {
        Settings s(spec);
        gain_ = s.vector("gain");
        int w = s.width();
        gain_ = Settings::broadcast(gain_, w);
        add_input(w);
        add_output(w);
        feedthrough_ = true;
    }
    void outputs(double, bool) override
    {
        for (std::size_t i = 0; i < gain_.size(); ++i) out(0)[i] = gain_[i] * in(0, static_cast<int>(i));
    }

private:
    std::vector<double> gain_;
};

// Combines its input ports element by element, one operator per port, read
// from a text setting: a sum ("signs": '+' or '-' per port, default "++") or
// a product ("operations": '*' or '/' per port, default "**"; "*/" gives
// in0 / in1, e.g. a COP from a heat rate and a power). Direct feedthrough.
class CombineBlock final : public BuiltinBlock {
public:
    CombineBlock(const BlockSpec& spec, bool product)
        : BuiltinBlock(spec.name, product ? "product" : "sum"), product_(product)
    {
        Settings s(spec);
        const char* key = product ? "operations" : "signs";
        const std::string allowed = product ? "*/" : "+-";
        std::string ops = product ? "**" : "++";
        if (s.has(key)) {
            const json& j = s.value(key);
            if (!j.is_string() || j.get<std::string>().empty() ||
                j.get<std::string>().find_first_not_of(allowed) != std::string::npos)
                s.fail(key, std::string("expected a text of '") + allowed[0] + "' and '" + allowed[1] +
                                "', one per input port");
            ops = j.get<std::string>();
        }
        int w = s.width();
        for (char c : ops) {
            inverse_.push_back(c == allowed[1]);
            add_input(w);
        }
        add_output(w);
        width_ = w;
        feedthrough_ = true;
    }
    void outputs(double, bool) override
    {
        for (int i = 0; i < width_; ++i) {
            double y = product_ ? 1.0 : 0.0;
            for (std::size_t p = 0; p < inverse_.size(); ++p) {
                const double v = in(static_cast<int>(p), i);
                if (product_)
                    y = inverse_[p] ? y / v : y * v;
                else
                    y += inverse_[p] ? -v : v;
            }
            out(0)[i] = y;
        }
    }

private:
    bool product_;
    std::vector<bool> inverse_;  // '-' or '/' on this port
    int width_ = 1;
};

using Path = std::filesystem::path;

template <class Block, class... Args>
std::unique_ptr<SimBlock> make(Args&&... args)
{
    return std::make_unique<Block>(std::forward<Args>(args)...);
}

}  // namespace

const std::vector<BuiltinBlockType>& builtin_block_types()
{
    // One row per type: its name, its settings, its factory.
    static const std::vector<BuiltinBlockType> types = {
        {"constant", {"value"}, [](const BlockSpec& b, const Path&) { return make<ConstantBlock>(b); }},
        {"step", {"time", "before", "after"}, [](const BlockSpec& b, const Path&) { return make<StepBlock>(b); }},
        {"ramp", {"slope", "start_time", "initial"},
         [](const BlockSpec& b, const Path&) { return make<RampBlock>(b); }},
        {"sine", {"amplitude", "frequency", "phase", "bias"},
         [](const BlockSpec& b, const Path&) { return make<SineBlock>(b); }},
        {"table", {"time", "values", "file", "columns"},
         [](const BlockSpec& b, const Path& dir) { return make<TableBlock>(b, dir); }},
        {"memory", {"initial", "width"}, [](const BlockSpec& b, const Path&) { return make<MemoryBlock>(b); }},
        {"gain", {"gain", "width"}, [](const BlockSpec& b, const Path&) { return make<GainBlock>(b); }},
        {"sum", {"signs", "width"}, [](const BlockSpec& b, const Path&) { return make<CombineBlock>(b, false); }},
        {"product", {"operations", "width"},
         [](const BlockSpec& b, const Path&) { return make<CombineBlock>(b, true); }},
        // Control blocks (control_blocks.h).
        {"integrator", {"initial", "lower", "upper", "reset", "width"},
         [](const BlockSpec& b, const Path&) { return make_integrator_block(b); }},
        {"first_order", {"tau", "initial", "gain", "width"},
         [](const BlockSpec& b, const Path&) { return make_first_order_block(b); }},
        {"saturation", {"lower", "upper", "width"},
         [](const BlockSpec& b, const Path&) { return make_saturation_block(b); }},
        {"rate_limiter", {"rising", "falling", "initial", "width"},
         [](const BlockSpec& b, const Path&) { return make_rate_limiter_block(b); }},
        {"lookup", {"x", "y", "beyond", "width"},
         [](const BlockSpec& b, const Path&) { return make_lookup_block(b); }},
        {"pid",
         {"kp", "ti", "td", "filter_time", "direction", "bias", "initial", "lower", "upper", "tracking_time",
          "setpoint_weight", "derivative_weight", "feedforward", "tracking"},
         [](const BlockSpec& b, const Path&) { return make_pid_block(b); }},
        {"min", {"inputs", "width"}, [](const BlockSpec& b, const Path&) { return make_min_block(b); }},
        {"max", {"inputs", "width"}, [](const BlockSpec& b, const Path&) { return make_max_block(b); }},
        {"trip", {"limit", "direction", "delay", "after", "alarm"},
         [](const BlockSpec& b, const Path&) { return make_trip_block(b); }},
    };
    return types;
}

const BuiltinBlockType* find_builtin_block_type(const std::string& type)
{
    for (const auto& t : builtin_block_types())
        if (t.type == type) return &t;
    return nullptr;
}

std::unique_ptr<SimBlock> make_builtin_block(const BlockSpec& spec, const std::filesystem::path& model_dir)
{
    if (const BuiltinBlockType* t = find_builtin_block_type(spec.type)) return t->make(spec, model_dir);
    throw SimulationError(spec.where + ": '" + spec.type + "' is not a built-in block type");
}

}  // namespace cyclesim
