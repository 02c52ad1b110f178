// Ends a run as soon as the plant has settled.
//
// A settle criterion names logged signals, a window and a tolerance per
// signal: the run has settled at time t when, over the logged rows of
// [t - window, t], every named signal stayed within its band (largest minus
// smallest value at most max(abs, rel * |latest value|)). The history must
// cover a whole window, and no settle is declared before `after` (a model
// whose disturbance comes at a scheduled time is flat before it). The stop
// time stays the bound: a run that reaches it unsettled says so.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace cyclesim {

struct SettleSignal {
    std::string name;   // a logged signal's name
    double abs = 0.0;   // band in the signal's unit
    double rel = 0.0;   // band relative to the latest value
};

struct SettleSpec {
    std::vector<SettleSignal> signals;
    double window = 0.0;                // [s]
    std::optional<double> after;        // earliest time a settle may be declared
};

// Reads {"signals": [{"name", "abs" and/or "rel"}...], "window", "after"}.
// Throws SimulationError naming `where` and the key. Signals must be among
// `logged` (the model's log names).
SettleSpec parse_settle(const nlohmann::json& doc, const std::string& where, const std::vector<std::string>& logged);

nlohmann::json settle_to_json(const SettleSpec& spec);

class SettleMonitor {
public:
    // `log_names` gives the column of each value of a row.
    SettleMonitor(SettleSpec spec, const std::vector<std::string>& log_names);

    // One logged row; returns true once the run has settled (and stays true).
    bool add_row(double t, const std::vector<double>& values);

    bool settled() const { return settled_at_.has_value(); }
    std::optional<double> settled_at() const { return settled_at_; }

private:
    struct Row {
        double t;
        std::vector<double> v;  // the monitored signals only
    };
    bool within_bands() const;

    SettleSpec spec_;
    std::vector<std::size_t> columns_;
    std::deque<Row> history_;
    std::optional<double> first_time_;
    std::optional<double> settled_at_;
};

}  // namespace cyclesim
