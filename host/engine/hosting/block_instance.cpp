#include "block_instance.h"

#include "block_directory.h"

#include "contract_checks.h"
#include "name_suggestion.h"
#include "errors.h"
#include "number_text.h"

#include <cstdio>
#include <cstring>

namespace cyclesim {

BlockInstance::BlockInstance(std::shared_ptr<Plugin> plugin, std::string block_name,
                             std::vector<MxPtr> params)
    : plugin_(std::move(plugin)), name_(std::move(block_name)), params_(std::move(params))
{
    for (auto& p : params_) param_ptrs_.push_back(p.get());
    S_.path = name_.c_str();
    S_.sfunctionName = plugin_->name().c_str();
    S_.numSFcnParamsGiven = static_cast<int_T>(param_ptrs_.size());
    S_.sfcnParams = param_ptrs_.data();
    S_.numSampleTimes = 0;  // the interface's default: none until the block sets a count
    S_.majorTimeStep = 1;
}

BlockInstance::~BlockInstance()
{
    try {
        terminate();
    } catch (...) {
        // A failure while tearing down is not reported twice.
    }
    sfun_release(&S_);
}

void BlockInstance::set_parameter(int index, MxPtr value)
{
    if (index < 0 || index >= static_cast<int>(params_.size()))
        throw SimulationError("block '" + name_ + "': no dialog parameter " + std::to_string(index + 1));
    params_[index] = std::move(value);
    param_ptrs_[index] = params_[index].get();
    // A change after the block was sized is what mdlCheckParameters is for.
    if (sized_) check_parameters();
}

void BlockInstance::check_status(const char* callback, double t)
{
    if (S_.errorStatus) {
        std::string msg = S_.errorStatus;
        S_.errorStatus = nullptr;
        throw SimulationError("block '" + name_ + "' (S-function " + plugin_->name() + ") in " +
                              callback + " at t = " + time_text(t) + ": " + msg + misspelt_field_hint(msg, params_));
    }
}

void BlockInstance::initialize_sizes()
{
    S_.errorStatus = nullptr;
    sized_ = true;
    plugin_->table().initializeSizes(&S_);
    check_status("mdlInitializeSizes", 0.0);
    if (S_.numSFcnParamsDeclared != S_.numSFcnParamsGiven)
        throw SimulationError("block '" + name_ + "': S-function '" + plugin_->name() + "' declares " +
                              std::to_string(S_.numSFcnParamsDeclared) +
                              " dialog parameters but " + std::to_string(S_.numSFcnParamsGiven) +
                              " were given");
    if (!sfun_allocate(&S_))
        throw SimulationError("block '" + name_ + "': invalid sizes registered (negative count)");
    allocated_ = true;
}

void BlockInstance::initialize_sample_times()
{
    plugin_->table().initializeSampleTimes(&S_);
    check_status("mdlInitializeSampleTimes", 0.0);
    if (S_.sampleTimeBeyondCount)
        throw SimulationError("block '" + name_ + "' (S-function " + plugin_->name() +
                              ") in mdlInitializeSampleTimes: sample time index " +
                              std::to_string(S_.sampleTimeBeyondIndex) + " is set, but the block set " +
                              std::to_string(S_.numSampleTimes) +
                              " sample times with ssSetNumSampleTimes (the default is none): an index must be "
                              "below that count");
}

void BlockInstance::check_parameters()
{
    if (plugin_->table().checkParameters) {
        plugin_->table().checkParameters(&S_);
        check_status("mdlCheckParameters", 0.0);
    }
}

void BlockInstance::start()
{
    if (plugin_->table().start) {
        {
            BlockDirectoryScope in_block_directory;  // the block binds the property library here
            plugin_->table().start(&S_);
        }
        check_status("mdlStart", S_.t);
    }
    start_completed_ = true;  // from here on, terminate must run
}

void BlockInstance::initialize_conditions()
{
    if (plugin_->table().initializeConditions) {
        {
            BlockDirectoryScope in_block_directory;  // the condenser binds the property library here
            plugin_->table().initializeConditions(&S_);
        }
        check_status("mdlInitializeConditions", S_.t);
    }
}

void BlockInstance::initialize()
{
    initialize_sizes();
    initialize_sample_times();
    start();
    initialize_conditions();
}

template <class Callback>
void BlockInstance::watching_states(const char* callback, Callback&& call)
{
    const auto n = static_cast<std::size_t>(S_.numContStates > 0 && S_.contStates ? S_.numContStates : 0);
    states_before_.assign(S_.contStates, S_.contStates + n);
    S_.solverNeedsReset = 0;
    call();
    const bool asked_reset = S_.solverNeedsReset != 0;
    if (asked_reset) reset_requested_ = true;
    check_status(callback, S_.t);
    if (n == 0 || std::memcmp(states_before_.data(), S_.contStates, n * sizeof(double)) == 0) return;

    std::size_t i = 0;
    while (std::memcmp(&states_before_[i], &S_.contStates[i], sizeof(double)) == 0) ++i;
    char change[160];
    std::snprintf(change, sizeof change, "continuous state %zu changed from %.17g to %.17g at t = %.9g", i,
                  states_before_[i], S_.contStates[i], S_.t);
    if (!S_.majorTimeStep)
        report_contract_violation(name_, plugin_->name(), callback, "minor-step state change",
                                  std::string(change) +
                                      " in a minor step; continuous states may change only in major steps");
    else if (!asked_reset)
        report_contract_violation(name_, plugin_->name(), callback, "state change without reset",
                                  std::string(change) +
                                      " in a major step without ssSetSolverNeedsReset; the solver may ignore it");
}

void BlockInstance::outputs(double t, bool major_step)
{
    S_.t = t;
    S_.majorTimeStep = major_step;
    watching_states("mdlOutputs", [&] { plugin_->table().outputs(&S_, 0); });
}

void BlockInstance::update(double t)
{
    if (!plugin_->table().update) return;
    S_.t = t;
    S_.majorTimeStep = 1;
    watching_states("mdlUpdate", [&] { plugin_->table().update(&S_, 0); });
}

void BlockInstance::derivatives(double t, bool major_step)
{
    if (!plugin_->table().derivatives) return;
    S_.t = t;
    S_.majorTimeStep = major_step;
    watching_states("mdlDerivatives", [&] { plugin_->table().derivatives(&S_); });
}

bool BlockInstance::take_reset_request()
{
    const bool asked = reset_requested_;
    reset_requested_ = false;
    return asked;
}

void BlockInstance::terminate()
{
    if (terminated_ || !sized_) return;
    if (!start_completed_ && !(S_.options & SS_OPTION_CALL_TERMINATE_ON_EXIT)) return;
    terminated_ = true;
    plugin_->table().terminate(&S_);
    check_status("mdlTerminate", S_.t);
}

int BlockInstance::input_width(int port) const { return sfun_get_input_port_width(&S_, port); }
int BlockInstance::output_width(int port) const { return sfun_get_output_port_width(&S_, port); }

bool BlockInstance::direct_feedthrough(int port) const
{
    return port >= 0 && port < S_.numInputPorts && S_.inputDirectFeedThrough[port] != 0;
}

void BlockInstance::connect_input(int port, int element, const double* source)
{
    if (!allocated_ || port < 0 || port >= S_.numInputPorts || element < 0 ||
        element >= S_.inputWidths[port])
        throw SimulationError("block '" + name_ + "': no input element " + std::to_string(element) +
                              " on port " + std::to_string(port));
    S_.inputSignalPtrs[port][element] = source;
}

std::span<double> BlockInstance::output(int port)
{
    if (!allocated_ || port < 0 || port >= S_.numOutputPorts) return {};
    return {S_.outputSignals[port], static_cast<size_t>(S_.outputWidths[port])};
}

}  // namespace cyclesim
