// What a run hands its results to. A run opens the writers that are on
// (results.csv, results.mat), gives each every logged row as it is logged,
// and at the end (completed, failed or stopped) the run's summary. Writers
// keep what they were given readable at every moment: a run that dies
// between two rows leaves files a reader can load.
#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace cyclesim {

// The logged signals, in column order, as the model's log names them.
struct ResultColumns {
    std::vector<std::string> names, units;
};

class ResultWriter {
public:
    virtual ~ResultWriter() = default;
    virtual void row(double t, const std::vector<double>& values) = 0;
    // The document summary.json holds (status as a plain string, final
    // time, statistics, model, command line, --set values, ...).
    virtual void finish(const nlohmann::json& summary) = 0;
};

}  // namespace cyclesim
