#include "settle_monitor.h"

#include "errors.h"
#include "number_text.h"

#include <algorithm>
#include <cmath>

namespace cyclesim {

namespace {

using json = nlohmann::json;

[[noreturn]] void fail(const std::string& where, const std::string& reason)
{
    throw SimulationError(where + ": " + reason);
}

double non_negative(const json& object, const char* key, const std::string& where)
{
    const json& v = object.at(key);
    if (!v.is_number() || !std::isfinite(v.get<double>()) || v.get<double>() < 0)
        fail(where + "." + key, "expected a finite number >= 0");
    return v.get<double>();
}

}  // namespace

SettleSpec parse_settle(const json& doc, const std::string& where, const std::vector<std::string>& logged)
{
    if (!doc.is_object()) fail(where, "expected an object {\"signals\": [...], \"window\": seconds}");
    for (auto it = doc.begin(); it != doc.end(); ++it)
        if (it.key() != "signals" && it.key() != "window" && it.key() != "after" && it.key() != "comment")
            fail(where, "unknown key \"" + it.key() + "\" (allowed here: signals, window, after, comment)");
    SettleSpec spec;
    if (!doc.contains("window")) fail(where, "missing key \"window\"");
    spec.window = non_negative(doc, "window", where);
    if (!(spec.window > 0)) fail(where + ".window", "must be greater than 0");
    if (doc.contains("after")) {
        const json& a = doc["after"];
        if (!a.is_number() || !std::isfinite(a.get<double>())) fail(where + ".after", "expected a finite number");
        spec.after = a.get<double>();
    }
    auto sig = doc.find("signals");
    if (sig == doc.end()) fail(where, "missing key \"signals\"");
    if (!sig->is_array() || sig->empty()) fail(where + ".signals", "expected a non-empty array");
    for (std::size_t i = 0; i < sig->size(); ++i) {
        const json& s = (*sig)[i];
        const std::string w = where + ".signals[" + std::to_string(i) + "]";
        if (!s.is_object()) fail(w, "expected an object {\"name\", \"abs\" and/or \"rel\"}");
        for (auto it = s.begin(); it != s.end(); ++it)
            if (it.key() != "name" && it.key() != "abs" && it.key() != "rel" && it.key() != "comment")
                fail(w, "unknown key \"" + it.key() + "\" (allowed here: name, abs, rel, comment)");
        SettleSignal out;
        if (!s.contains("name") || !s["name"].is_string()) fail(w, "missing key \"name\" (a logged signal's name)");
        out.name = s["name"].get<std::string>();
        if (std::find(logged.begin(), logged.end(), out.name) == logged.end())
            fail(w + ".name", "\"" + out.name + "\" is not a logged signal of the model");
        if (!s.contains("abs") && !s.contains("rel")) fail(w, "give a band: \"abs\" (signal units) and/or \"rel\"");
        if (s.contains("abs")) out.abs = non_negative(s, "abs", w);
        if (s.contains("rel")) out.rel = non_negative(s, "rel", w);
        spec.signals.push_back(out);
    }
    return spec;
}

json settle_to_json(const SettleSpec& spec)
{
    json signals = json::array();
    for (const auto& s : spec.signals) {
        json j = {{"name", s.name}};
        if (s.abs > 0) j["abs"] = s.abs;
        if (s.rel > 0) j["rel"] = s.rel;
        signals.push_back(j);
    }
    json out = {{"signals", signals}, {"window", spec.window}};
    if (spec.after) out["after"] = *spec.after;
    return out;
}

SettleMonitor::SettleMonitor(SettleSpec spec, const std::vector<std::string>& log_names) : spec_(std::move(spec))
{
    for (const auto& s : spec_.signals) {
        auto it = std::find(log_names.begin(), log_names.end(), s.name);
        if (it == log_names.end()) throw SimulationError("settle: \"" + s.name + "\" is not a logged signal");
        columns_.push_back(static_cast<std::size_t>(it - log_names.begin()));
    }
}

bool SettleMonitor::add_row(double t, const std::vector<double>& values)
{
    if (settled_at_) return true;
    if (!first_time_) first_time_ = t;
    Row row{t, {}};
    for (std::size_t c : columns_) row.v.push_back(c < values.size() ? values[c] : std::nan(""));
    history_.push_back(std::move(row));
    // Keep the newest row at or before t - window (it opens the window) and
    // everything after it.
    const double start = t - spec_.window;
    while (history_.size() >= 2 && history_[1].t <= start) history_.pop_front();
    const bool full_window = t - *first_time_ >= spec_.window * (1 - 1e-12);
    const bool late_enough = !spec_.after || t >= *spec_.after;
    if (full_window && late_enough && within_bands()) settled_at_ = t;
    return settled_at_.has_value();
}

bool SettleMonitor::within_bands() const
{
    for (std::size_t k = 0; k < columns_.size(); ++k) {
        double lo = history_.front().v[k], hi = lo;
        for (const auto& r : history_) {
            if (!std::isfinite(r.v[k])) return false;
            lo = std::min(lo, r.v[k]);
            hi = std::max(hi, r.v[k]);
        }
        const auto& s = spec_.signals[k];
        const double band = std::max(s.abs, s.rel * std::fabs(history_.back().v[k]));
        if (hi - lo > band) return false;
    }
    return true;
}

}  // namespace cyclesim
