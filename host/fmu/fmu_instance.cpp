#include "fmu_instance.h"

#include "block_directory.h"
#include "contract_checks.h"
#include "errors.h"
#include "fmu_layout.h"
#include "number_text.h"
#include "plugin_library.h"

extern "C" {
#include "sfun_runtime.h"
}

#include <dlfcn.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <sstream>

namespace cyclesim::fmu {

namespace {

std::string read_text(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in) throw SimulationError("cannot read " + file.string());
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void to_logger(const char* text, void* context)
{
    std::string line = text;
    while (!line.empty() && line.back() == '\n') line.pop_back();
    if (!line.empty()) static_cast<const Instance*>(context)->log(fmi2Warning, "logStatusWarning", line);
}

// For the duration of one call from the importer that runs the blocks:
// block prints and interface warnings go to the importer's logger, and the
// blocks bind the property library inside resources/ (the working
// directory changed only around the callbacks that bind it).
class CallScope {
public:
    CallScope(const Instance& instance, const std::filesystem::path& resources)
    {
        sfun_set_print_sink(&to_logger, const_cast<Instance*>(&instance));
        ContractPolicy policy;
        policy.sink = [&instance](const std::string& text) { instance.log(fmi2Warning, "logStatusWarning", text); };
        contract_.emplace(std::move(policy));
        set_block_directory(resources);
    }
    ~CallScope()
    {
        set_block_directory(std::nullopt);
        contract_.reset();
        sfun_set_print_sink(nullptr, nullptr);
    }
    CallScope(const CallScope&) = delete;
    CallScope& operator=(const CallScope&) = delete;

private:
    std::optional<ScopedContractPolicy> contract_;
};

}  // namespace

// Keeps the latest row (the outputs at the latest communication point) and
// adds the property library's own last message to a failure.
class Instance::Observer final : public RunObserver {
public:
    explicit Observer(std::vector<double>& outputs) : outputs_(outputs) {}
    void on_log(double, const std::vector<double>& values) override { outputs_ = values; }
    std::string explain_failure() override
    {
        void* handle = dlopen(block_property_library().c_str(), RTLD_LAZY | RTLD_NOLOAD);
        if (!handle) return {};
        using Message = long (*)(const char*, char*, int);
        auto message = reinterpret_cast<Message>(dlsym(handle, "get_global_param_string"));
        std::string text;
        if (message) {
            char buf[1000] = {0};
            if (message("errstring", buf, static_cast<int>(sizeof buf)) >= 0) {
                buf[sizeof buf - 1] = '\0';
                text = buf;
            }
        }
        dlclose(handle);
        return text.empty() ? text : "property library: " + text;
    }

private:
    std::vector<double>& outputs_;
};

Instance::Instance(std::string name, const std::filesystem::path& resources, const std::string& guid,
                   const fmi2CallbackFunctions& callbacks, bool logging)
    : name_(std::move(name)), resources_(resources), callbacks_(callbacks), logging_(logging)
{
    std::string shipped = read_text(resources_ / kGuidFile);
    while (!shipped.empty() && (shipped.back() == '\n' || shipped.back() == '\r')) shipped.pop_back();
    if (shipped != guid)
        throw SimulationError("the guid " + guid + " does not match this FMU's resources (" + shipped + ")");
    model_file_ = resources_ / kModelFile;
    try {
        document_ = nlohmann::json::parse(read_text(model_file_));
    } catch (const nlohmann::json::exception& e) {
        throw SimulationError(model_file_.string() + ": " + e.what());
    }
    const ModelSpec spec = parse_model(document_, model_file_);
    interface_ = spec.interface;
    solver_ = spec.solver;
    start_time_ = solver_.start_time;
    time_ = start_time_;
    for (const auto& p : interface_.parameters) parameters_.push_back(p.start);
    for (const auto& in : interface_.inputs) inputs_.push_back(in.start);
    outputs_.assign(interface_.outputs.size(), 0.0);
    observer_ = std::make_unique<Observer>(outputs_);
}

Instance::~Instance() { tear_down(); }

void Instance::log(fmi2Status status, const char* category, const std::string& text) const
{
    if (!callbacks_.logger) return;
    // Errors and a trip always reach the importer; warnings when it asked
    // for logging.
    if (!logging_ && status < fmi2Discard) return;
    callbacks_.logger(callbacks_.componentEnvironment, name_.c_str(), status, category, "%s", text.c_str());
}

void Instance::tear_down() noexcept
{
    if (simulation_) {
        try {
            CallScope scope(*this, resources_);
            simulation_->end_cosimulation();
        } catch (...) {
        }
    }
    simulation_.reset();
    registry_.reset();
}

fmi2Status Instance::failed(const std::string& what, const std::exception& e)
{
    tear_down();
    phase_ = Phase::error;
    log(fmi2Error, "logStatusError", what + ": " + e.what());
    return fmi2Error;
}

fmi2Status Instance::setup_experiment(bool tolerance_defined, double tolerance, double start, bool stop_defined,
                                      double stop)
{
    if (phase_ != Phase::instantiated) {
        log(fmi2Error, "logStatusError", "fmi2SetupExperiment is allowed only before initialisation");
        return fmi2Error;
    }
    if (!std::isfinite(start) || (stop_defined && !(stop > start)) ||
        (tolerance_defined && !(tolerance > 0 && tolerance < 1))) {
        log(fmi2Error, "logStatusError",
            "fmi2SetupExperiment: start time " + number_text(start) + ", stop time " +
                (stop_defined ? number_text(stop) : std::string("(none)")) + ", tolerance " +
                (tolerance_defined ? number_text(tolerance) : std::string("(none)")) +
                ": the start must be finite, the stop later than the start and the tolerance between 0 and 1");
        return fmi2Error;
    }
    start_time_ = start;
    time_ = start;
    stop_time_ = stop_defined ? std::optional<double>(stop) : std::nullopt;
    tolerance_ = tolerance_defined ? std::optional<double>(tolerance) : std::nullopt;
    return fmi2OK;
}

fmi2Status Instance::enter_initialization()
{
    if (phase_ != Phase::instantiated) {
        log(fmi2Error, "logStatusError", "fmi2EnterInitializationMode called twice or after the run began");
        return fmi2Error;
    }
    phase_ = Phase::initialization;
    return fmi2OK;
}

void Instance::build()
{
    tear_down();
    nlohmann::json doc = bind_interface(document_, interface_, parameters_, inputs_, model_file_.string());
    nlohmann::json& solver = doc["solver"];
    if (!solver.is_object()) solver = nlohmann::json::object();
    solver["start_time"] = start_time_;
    // The model's stop time only bounds its own runs: an FMU runs to where
    // its importer takes it, and every source breakpoint up to there counts.
    // Rows are the importer's communication points, not the model's output
    // times.
    solver["stop_time"] = stop_time_ ? *stop_time_ : std::numeric_limits<double>::max();
    solver.erase("output_interval");
    if (tolerance_) solver["rtol"] = *tolerance_;
    ModelSpec spec = parse_model(std::move(doc), model_file_);
    CallScope scope(*this, resources_);
    registry_ = std::make_unique<PluginRegistry>(resources_ / kBlocksFolder);
    simulation_ = std::make_unique<Simulation>(std::move(spec), *registry_);
    inputs_changed_ = false;
    tripped_ = false;
    time_ = start_time_;
    simulation_->begin_cosimulation(*observer_,
                                    stop_time_ ? *stop_time_ : std::numeric_limits<double>::infinity());
}

fmi2Status Instance::exit_initialization()
{
    if (phase_ != Phase::initialization) {
        log(fmi2Error, "logStatusError", "fmi2ExitInitializationMode without fmi2EnterInitializationMode");
        return fmi2Error;
    }
    try {
        if (!simulation_) build();
    } catch (const std::exception& e) {
        return failed("initialisation failed at t = " + time_text(start_time_), e);
    }
    phase_ = Phase::stepping;
    return fmi2OK;
}

fmi2Status Instance::do_step(double current, double step)
{
    if (phase_ != Phase::stepping) {
        log(fmi2Error, "logStatusError",
            phase_ == Phase::terminated && tripped_ ? "fmi2DoStep after the unit tripped: the run has ended"
                                                    : "fmi2DoStep is allowed only after initialisation");
        return fmi2Error;
    }
    const double eps = 1e-12 * std::max(1.0, std::fabs(time_));
    if (!(std::fabs(current - time_) <= eps) || !(step > 0) || !std::isfinite(step)) {
        log(fmi2Error, "logStatusError",
            "fmi2DoStep from " + time_text(current) + " by " + number_text(step) + ": the FMU stands at t = " +
                time_text(time_) + " and steps forward only");
        return fmi2Error;
    }
    const double target = time_ + step;
    try {
        CallScope scope(*this, resources_);
        simulation_->advance_to(target, inputs_changed_);
        inputs_changed_ = false;
        time_ = target;
        return fmi2OK;
    } catch (const TripError& e) {
        // A protection acted: the unit has stopped. The run ends here, as
        // the importer learns from fmi2GetBooleanStatus(fmi2Terminated).
        tripped_ = true;
        simulation_.reset();
        registry_.reset();
        phase_ = Phase::terminated;
        log(fmi2Discard, "logStatusDiscard", std::string("tripped: ") + e.what());
        return fmi2Discard;
    } catch (const std::exception& e) {
        return failed("fmi2DoStep from t = " + time_text(current) + " to " + time_text(target), e);
    }
}

fmi2Status Instance::terminate()
{
    if (phase_ != Phase::stepping && phase_ != Phase::terminated && phase_ != Phase::initialization) {
        log(fmi2Error, "logStatusError", "fmi2Terminate before initialisation");
        return fmi2Error;
    }
    // What the blocks found legal but suspicious over the run (a controller
    // held at a limit throughout, a setpoint in degC), as a cyclesim run
    // reports it in its log and summary.
    if (simulation_)
        for (const auto& w : simulation_->block_warnings()) log(fmi2Warning, "logStatusWarning", w);
    tear_down();
    phase_ = Phase::terminated;
    return fmi2OK;
}

fmi2Status Instance::reset()
{
    tear_down();
    for (std::size_t i = 0; i < parameters_.size(); ++i) parameters_[i] = interface_.parameters[i].start;
    for (std::size_t i = 0; i < inputs_.size(); ++i) inputs_[i] = interface_.inputs[i].start;
    outputs_.assign(outputs_.size(), 0.0);
    start_time_ = solver_.start_time;
    time_ = start_time_;
    stop_time_.reset();
    tolerance_.reset();
    tripped_ = false;
    inputs_changed_ = false;
    phase_ = Phase::instantiated;
    return fmi2OK;
}

fmi2Status Instance::get_real(const fmi2ValueReference vr[], size_t n, fmi2Real value[])
{
    if (n > 0 && (!vr || !value)) {
        log(fmi2Error, "logStatusError", "fmi2GetReal: null array");
        return fmi2Error;
    }
    const ValueReferences refs{parameters_.size(), inputs_.size(), outputs_.size()};
    for (size_t i = 0; i < n; ++i)
        if (vr[i] >= refs.count()) {
            log(fmi2Error, "logStatusError", "fmi2GetReal: no variable has value reference " + std::to_string(vr[i]));
            return fmi2Error;
        }
    // Outputs asked for during initialisation: the run begins now, with the
    // values set so far (a later change of a parameter or an input begins
    // it again).
    bool wants_output = false;
    for (size_t i = 0; i < n; ++i) wants_output = wants_output || vr[i] >= refs.first_output();
    if (wants_output && phase_ == Phase::initialization && !simulation_) {
        try {
            build();
        } catch (const std::exception& e) {
            return failed("initialisation failed at t = " + time_text(start_time_), e);
        }
    }
    for (size_t i = 0; i < n; ++i) {
        const std::size_t r = vr[i];
        value[i] = r < refs.first_input()    ? parameters_[r]
                   : r < refs.first_output() ? inputs_[r - refs.first_input()]
                                             : outputs_[r - refs.first_output()];
    }
    return fmi2OK;
}

fmi2Status Instance::set_real(const fmi2ValueReference vr[], size_t n, const fmi2Real value[])
{
    if (n > 0 && (!vr || !value)) {
        log(fmi2Error, "logStatusError", "fmi2SetReal: null array");
        return fmi2Error;
    }
    const ValueReferences refs{parameters_.size(), inputs_.size(), outputs_.size()};
    const bool before_run = phase_ == Phase::instantiated || phase_ == Phase::initialization;
    for (size_t i = 0; i < n; ++i) {
        const std::size_t r = vr[i];
        std::string refusal;
        if (r >= refs.count())
            refusal = "no variable has value reference " + std::to_string(r);
        else if (r >= refs.first_output())
            refusal = "'" + interface_.outputs[r - refs.first_output()].name + "' is an output";
        else if (r < refs.first_input() && !before_run)
            refusal = "parameter '" + interface_.parameters[r].name + "' is set before initialisation ends";
        else if (!before_run && phase_ != Phase::stepping)
            refusal = "inputs are set before or during the run";
        else if (!std::isfinite(value[i]))
            refusal = "'" + (r < refs.first_input() ? interface_.parameters[r].name
                                                      : interface_.inputs[r - refs.first_input()].name) +
                      "' set to " + number_text(value[i]) + ": only finite values";
        if (!refusal.empty()) {
            log(fmi2Error, "logStatusError", "fmi2SetReal: " + refusal);
            return fmi2Error;
        }
    }
    for (size_t i = 0; i < n; ++i) {
        const std::size_t r = vr[i];
        if (r < refs.first_input()) {
            parameters_[r] = value[i];
            if (simulation_) tear_down();  // begun early for an output during initialisation
            continue;
        }
        const std::size_t k = r - refs.first_input();
        if (inputs_[k] == value[i]) continue;
        inputs_[k] = value[i];
        if (!simulation_) continue;
        if (phase_ != Phase::stepping) {
            tear_down();
            continue;
        }
        try {
            const InterfaceInput& in = interface_.inputs[k];
            if (simulation_->set_constant(in.block, in.element, value[i])) inputs_changed_ = true;
        } catch (const std::exception& e) {
            return failed("fmi2SetReal of '" + interface_.inputs[k].name + "' at t = " + time_text(time_), e);
        }
    }
    return fmi2OK;
}

}  // namespace cyclesim::fmu
