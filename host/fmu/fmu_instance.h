// One instance of the exported model, as the FMI entry points drive it:
// the model file read from the FMU's resources, its interface's parameters
// and inputs held as the importer sets them, the simulation built from them
// when initialisation ends (or earlier, when the importer asks for outputs
// during initialisation) and advanced communication point by communication
// point.
//
// Every message goes to the importer's logger; nothing is printed. A failure
// leaves the instance in the error state with every block terminated; the
// message names block, signal and time as the simulator words it.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "fmi2_functions.h"
#include "model_file.h"
#include "simulation.h"

namespace cyclesim {
class PluginRegistry;
}

namespace cyclesim::fmu {

class Instance {
public:
    enum class Phase { instantiated, initialization, stepping, terminated, error };

    // Throws std::exception with the reason when the resources cannot be
    // read or do not belong to `guid`.
    Instance(std::string name, const std::filesystem::path& resources, const std::string& guid,
             const fmi2CallbackFunctions& callbacks, bool logging);
    ~Instance();
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    void log(fmi2Status status, const char* category, const std::string& text) const;
    void set_logging(bool on) { logging_ = on; }

    fmi2Status setup_experiment(bool tolerance_defined, double tolerance, double start, bool stop_defined, double stop);
    fmi2Status enter_initialization();
    fmi2Status exit_initialization();
    fmi2Status do_step(double current, double step);
    fmi2Status terminate();
    fmi2Status reset();
    fmi2Status get_real(const fmi2ValueReference vr[], size_t n, fmi2Real value[]);
    fmi2Status set_real(const fmi2ValueReference vr[], size_t n, const fmi2Real value[]);

    Phase phase() const { return phase_; }
    double time() const { return time_; }
    bool tripped() const { return tripped_; }

private:
    class Observer;
    void build();          // the simulation from the values as they stand, begun at the start time
    void tear_down() noexcept;
    fmi2Status failed(const std::string& what, const std::exception& e);

    std::string name_;
    std::filesystem::path resources_;
    fmi2CallbackFunctions callbacks_;
    bool logging_ = false;

    nlohmann::json document_;      // the model file as shipped
    std::filesystem::path model_file_;
    InterfaceSpec interface_;
    SolverSpec solver_;            // the model's own settings (default experiment)

    std::vector<double> parameters_, inputs_, outputs_;
    bool inputs_changed_ = false;
    double start_time_ = 0.0;
    std::optional<double> stop_time_, tolerance_;
    double time_ = 0.0;
    bool tripped_ = false;
    Phase phase_ = Phase::instantiated;

    std::unique_ptr<Observer> observer_;
    std::unique_ptr<PluginRegistry> registry_;
    std::unique_ptr<Simulation> simulation_;
};

}  // namespace cyclesim::fmu
