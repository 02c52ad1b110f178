// One S-function block in a model: its SimStruct, its dialog values and the
// callbacks of its plug-in, called in the host contract's order.
#pragma once

#include <memory>
#include <span>
#include <string>
#include <vector>

#include "dialog_values.h"
#include "plugin_library.h"

namespace cyclesim {

class BlockInstance {
public:
    BlockInstance(std::shared_ptr<Plugin> plugin, std::string block_name, std::vector<MxPtr> params);
    ~BlockInstance();
    BlockInstance(const BlockInstance&) = delete;
    BlockInstance& operator=(const BlockInstance&) = delete;

    // Sizes, sample times, start, initial conditions. The dialog values are
    // checked by the block itself from mdlInitializeSizes, as the interface
    // asks; the host calls mdlCheckParameters when they change.
    void initialize();
    // Individual steps of initialize(), for hosts that need them apart.
    void initialize_sizes();
    void initialize_sample_times();
    void start();
    void initialize_conditions();
    // mdlCheckParameters, as the host calls it when dialog values change.
    void check_parameters();

    void outputs(double t, bool major_step);
    void update(double t);
    void derivatives(double t, bool major_step);
    // Safe to call more than once; called by the destructor if needed. As
    // the interface documents it, mdlTerminate runs only for a block whose
    // start completed without error, unless the block set
    // SS_OPTION_CALL_TERMINATE_ON_EXIT (then for any block sized).
    void terminate();
    // Whether a callback asked for a solver reset since the last call
    // (ssSetSolverNeedsReset); clears the request.
    bool take_reset_request();

    bool has_update() const { return plugin_->table().update != nullptr; }
    bool has_derivatives() const { return plugin_->table().derivatives != nullptr; }

    const std::string& name() const { return name_; }
    const std::string& sfunction() const { return plugin_->name(); }

    int num_inputs() const { return S_.numInputPorts; }
    int num_outputs() const { return S_.numOutputPorts; }
    int input_width(int port) const;
    int output_width(int port) const;
    bool direct_feedthrough(int port) const;
    // Points input element (port, element) at `source`, which must outlive the block.
    void connect_input(int port, int element, const double* source);

    std::span<double> output(int port);
    std::span<double> cont_states() { return {S_.contStates, static_cast<size_t>(S_.numContStates)}; }
    std::span<double> derivatives_vector() { return {S_.dX, static_cast<size_t>(S_.numContStates)}; }
    std::span<double> disc_states() { return {S_.discStates, static_cast<size_t>(S_.numDiscStates)}; }
    std::span<double> rwork() { return {S_.rwork, static_cast<size_t>(S_.numRWork)}; }
    int num_sample_times() const { return S_.numSampleTimes; }
    double sample_time(int i) const { return S_.sampleTimes[i]; }
    double offset_time(int i) const { return S_.offsetTimes[i]; }

    // Replaces dialog parameter `index` (0-based) before initialisation.
    void set_parameter(int index, MxPtr value);

private:
    void check_status(const char* callback, double t);
    // Runs one callback that may touch the continuous states and reports a
    // change the interface does not allow there.
    template <class Callback>
    void watching_states(const char* callback, Callback&& call);

    std::shared_ptr<Plugin> plugin_;
    std::string name_;
    std::vector<MxPtr> params_;
    std::vector<const mxArray*> param_ptrs_;
    SimStruct S_{};
    bool allocated_ = false;
    bool sized_ = false;            // mdlInitializeSizes has run
    bool start_completed_ = false;  // mdlStart (if any) returned without error
    bool terminated_ = false;
    bool reset_requested_ = false;
    std::vector<double> states_before_;
};

}  // namespace cyclesim
