// A block as the simulator sees it: ports, states and the callbacks of the
// host contract. S-function plug-ins and the simulator's own blocks
// (sources, memory, gain, sum) share this face.
#pragma once

#include <memory>
#include <span>
#include <string>
#include <vector>

#include "block_instance.h"

namespace cyclesim {

class SimBlock {
public:
    explicit SimBlock(std::string name) : name_(std::move(name)) {}
    virtual ~SimBlock() = default;
    SimBlock(const SimBlock&) = delete;
    SimBlock& operator=(const SimBlock&) = delete;

    const std::string& name() const { return name_; }
    // "S-function Orvane", "constant", ... for messages.
    virtual std::string kind() const = 0;

    // Sizes and sample times (the block checks its parameters there): everything that can be done
    // without side effects outside the block.
    virtual void setup() {}
    // Start and initial conditions.
    virtual void start() {}

    virtual int num_inputs() const { return 0; }
    virtual int input_width(int port) const = 0;
    virtual bool direct_feedthrough(int port) const = 0;
    virtual void connect_input(int port, int element, const double* source) = 0;
    virtual int num_outputs() const = 0;
    virtual std::span<double> output(int port) = 0;

    virtual std::span<double> cont_states() { return {}; }
    virtual std::span<double> derivatives_vector() { return {}; }
    virtual std::span<double> disc_states() { return {}; }

    virtual void outputs(double t, bool major_step) = 0;
    virtual void update(double /*t*/) {}
    virtual void derivatives(double /*t*/, bool /*major_step*/) {}
    virtual void terminate() {}
    // Whether the block asked for a solver reset (a continuous state it
    // changed in a major step) since the last call; clears the request.
    virtual bool take_reset_request() { return false; }

    // A steady-state evaluation (cyclesim steady) is on: a block whose output
    // lags its input between major steps by design (a rate limiter) shows the
    // output it would settle at after a long time at constant input.
    virtual void set_steady_evaluation(bool /*on*/) {}

    // Times at which the block's outputs jump or bend (source discontinuities):
    // the integrator stops there.
    virtual std::vector<double> breakpoints() const { return {}; }
    // Of those, the times at which the outputs jump: the integrator restarts
    // there. Across a bend (a change of slope) the solution stays smooth
    // enough for the step and order control to carry the integrator's history
    // on, and a restart would only start it again from tiny first-order steps.
    virtual std::vector<double> jumps() const { return breakpoints(); }
    // How messages should name the signal wired to an input element (its
    // logged name where it has one); told once the wiring is done.
    virtual void name_input(int /*port*/, int /*element*/, const std::string& /*signal*/) {}
    // The unit of the quantity wired to an input element, where the wiring
    // tells it ("K", "Pa", ...; told once, after name_input).
    virtual void input_unit(int /*port*/, int /*element*/, const std::string& /*unit*/) {}
    // What the block found suspicious over the run, though legal (a
    // controller held at a limit all along), one sentence each; asked for
    // once the run has ended, however it ended.
    virtual std::vector<std::string> warnings() const { return {}; }

private:
    std::string name_;
};

// An S-function plug-in behind the simulator's face.
class SFunctionBlock final : public SimBlock {
public:
    SFunctionBlock(std::shared_ptr<Plugin> plugin, const std::string& name, std::vector<MxPtr> params);

    std::string kind() const override { return "S-function " + instance_.sfunction(); }
    void setup() override;
    void start() override;

    int num_inputs() const override { return instance_.num_inputs(); }
    int input_width(int port) const override { return instance_.input_width(port); }
    bool direct_feedthrough(int port) const override { return instance_.direct_feedthrough(port); }
    void connect_input(int port, int element, const double* source) override
    {
        instance_.connect_input(port, element, source);
    }
    int num_outputs() const override { return instance_.num_outputs(); }
    std::span<double> output(int port) override { return instance_.output(port); }

    std::span<double> cont_states() override { return instance_.cont_states(); }
    std::span<double> derivatives_vector() override { return instance_.derivatives_vector(); }
    std::span<double> disc_states() override { return instance_.disc_states(); }

    void outputs(double t, bool major_step) override { instance_.outputs(t, major_step); }
    void update(double t) override { instance_.update(t); }
    void derivatives(double t, bool major_step) override { instance_.derivatives(t, major_step); }
    void terminate() override { instance_.terminate(); }
    bool take_reset_request() override { return instance_.take_reset_request(); }

    BlockInstance& instance() { return instance_; }

private:
    BlockInstance instance_;
};

}  // namespace cyclesim
