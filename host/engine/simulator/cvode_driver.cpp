// The integrator driver: CVODE set up over all continuous states, stepped one
// internal step at a time (stopping exactly at source breakpoints and at the
// stop time only), a major step after each, rows at output times interpolated
// within the steps, and restarted where a block changed its states or asked
// for a reset and where a source's output jumps (not where it only bends).
// Every SUNDIALS call is checked.
#include "simulation_impl.h"

#include "errors.h"
#include "number_text.h"

#include <cvode/cvode.h>
#include <cvode/cvode_ls.h>
#include <nvector/nvector_serial.h>
#include <sunlinsol/sunlinsol_dense.h>
#include <sunmatrix/sunmatrix_dense.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>

namespace cyclesim {

namespace {

// The solver's memory, state vector, matrix and linear solver, freed in
// reverse order of creation.
struct CvodeRun {
    void* mem = nullptr;
    N_Vector y = nullptr;
    N_Vector y_out = nullptr;  // states interpolated at an output time
    SUNMatrix A = nullptr;
    SUNLinearSolver LS = nullptr;

    ~CvodeRun()
    {
        if (mem) CVodeFree(&mem);
        if (LS) SUNLinSolFree(LS);
        if (A) SUNMatDestroy(A);
        if (y_out) N_VDestroy(y_out);
        if (y) N_VDestroy(y);
    }
};

int cvode_rhs(double t, N_Vector y, N_Vector dy, void* user)
{
    auto* sim = static_cast<Simulation::Impl*>(user);
    return sim->rhs(t, N_VGetArrayPointer(y), N_VGetArrayPointer(dy));
}

int cvode_jacobian(double t, N_Vector y, N_Vector fy, SUNMatrix J, void* user, N_Vector tmp1, N_Vector tmp2, N_Vector)
{
    auto* sim = static_cast<Simulation::Impl*>(user);
    const int n = static_cast<int>(SUNDenseMatrix_Columns(J));
    return sim->jacobian(t, N_VGetArrayPointer(y), N_VGetArrayPointer(fy), SUNDenseMatrix_Cols(J), n,
                         N_VGetArrayPointer(tmp1), N_VGetArrayPointer(tmp2));
}

// One of CVODE's counters, read with its return value checked.
template <typename Getter>
long cvode_counter(Getter getter, void* mem, const char* what)
{
    long value = 0;
    check_sundials(getter(mem, &value), what);
    return value;
}

std::string cvode_flag_name(int flag)
{
    char* name = CVodeGetReturnFlagName(flag);
    std::string out = name ? name : std::to_string(flag);
    std::free(name);
    return out;
}

}  // namespace

// The integrator between major steps, for a run to its stop time (integrate
// below) and for a co-simulation advanced by its caller: CVODE over all
// continuous states, one internal step at a time, stopping exactly at source
// breakpoints and at the stop time only. A step is taken first and its major
// step done after, so that rows at times inside the step are interpolated
// before the major step at its end may change the states.
struct Simulation::Impl::Stepper {
    Simulation::Impl& sim;
    RunObserver& observer;
    CvodeRun cv;
    int n = 1;
    double t = 0.0;             // where the integrator stands
    double stop = 0.0;          // no step goes beyond it (infinite: none)
    double eps = 0.0;           // times closer than this are the same time
    std::size_t next_break = 0;
    bool at_break = false;      // the latest step ended at a breakpoint
    int tiny_steps = 0;
    long steps_taken = 0;

    Stepper(Simulation::Impl& s, RunObserver& o) : sim(s), observer(o) {}
    ~Stepper()
    {
        // The counters are added up however the run ends; a failure to read
        // them must not hide the failure that ended it.
        try {
            if (cv.mem) collect();
        } catch (...) {
        }
    }
    Stepper(const Stepper&) = delete;
    Stepper& operator=(const Stepper&) = delete;

    // CVodeReInit clears the counters: they are added up before each
    // restart and once more at the end.
    void collect()
    {
        RunStatistics& counts = sim.stats;
        counts.integrator_steps += cvode_counter(CVodeGetNumSteps, cv.mem, "CVodeGetNumSteps");
        counts.error_test_failures += cvode_counter(CVodeGetNumErrTestFails, cv.mem, "CVodeGetNumErrTestFails");
        counts.nonlinear_iterations += cvode_counter(CVodeGetNumNonlinSolvIters, cv.mem, "CVodeGetNumNonlinSolvIters");
        counts.nonlinear_convergence_failures +=
            cvode_counter(CVodeGetNumNonlinSolvConvFails, cv.mem, "CVodeGetNumNonlinSolvConvFails");
        counts.jacobian_evaluations += cvode_counter(CVodeGetNumJacEvals, cv.mem, "CVodeGetNumJacEvals");
        double h = 0;
        check_sundials(CVodeGetLastStep(cv.mem, &h), "CVodeGetLastStep");
        if (h > 0) counts.last_step_size = h;
    }

    // The first major step at the start time (its row logged) and the
    // integrator set up from the states it leaves.
    void begin(double stop_time)
    {
        const SolverSpec& s = sim.model.solver;
        stop = stop_time;
        eps = 1e-12 * std::max({1.0, std::fabs(s.start_time), std::isfinite(stop) ? std::fabs(stop) : 0.0});
        n = std::max(sim.n_states, 1);  // CVODE needs one state; a model without any gets a constant
        cv.y = N_VNew_Serial(n, sim.sundials.get());
        if (!cv.y) throw SimulationError("cannot allocate the state vector");
        double* y = N_VGetArrayPointer(cv.y);
        y[0] = 0.0;
        sim.gather_states(y);

        t = s.start_time;
        bool restart = sim.major_step(t, y, true, observer);
        (void)restart;  // the integrator starts from whatever the first step left
        observer.on_progress(t, sim.stats);

        cv.mem = CVodeCreate(s.method == Method::BDF ? CV_BDF : CV_ADAMS, sim.sundials.get());
        if (!cv.mem) throw SimulationError("cannot create the integrator");
        check_sundials(CVodeInit(cv.mem, cvode_rhs, t, cv.y), "CVodeInit");
        check_sundials(CVodeSetUserData(cv.mem, &sim), "CVodeSetUserData");
        sim.sundials.capture_cvode_errors(cv.mem, &sim.integrator_message);
        check_sundials(CVodeSStolerances(cv.mem, s.rtol, s.atol), "CVodeSStolerances");
        cv.A = SUNDenseMatrix(n, n, sim.sundials.get());
        cv.LS = cv.A ? SUNLinSol_Dense(cv.y, cv.A, sim.sundials.get()) : nullptr;
        if (!cv.LS) throw SimulationError("cannot allocate the integrator's linear solver");
        check_sundials(CVodeSetLinearSolver(cv.mem, cv.LS, cv.A), "CVodeSetLinearSolver");
        check_sundials(CVodeSetJacFn(cv.mem, cvode_jacobian), "CVodeSetJacFn");
        if (s.max_step > 0) check_sundials(CVodeSetMaxStep(cv.mem, s.max_step), "CVodeSetMaxStep");
        if (s.initial_step > 0) check_sundials(CVodeSetInitStep(cv.mem, s.initial_step), "CVodeSetInitStep");
        check_sundials(CVodeSetMaxNumSteps(cv.mem, 100000), "CVodeSetMaxNumSteps");
        cv.y_out = N_VNew_Serial(n, sim.sundials.get());
        if (!cv.y_out) throw SimulationError("cannot allocate the interpolated state vector");
    }

    // The state with the largest weighted local error of the last step: the
    // one whose dynamics hold the step size down.
    std::string stiffest_state()
    {
        N_Vector weights = N_VClone(cv.y), errors = N_VClone(cv.y);
        std::string text;
        if (weights && errors && CVodeGetErrWeights(cv.mem, weights) == CV_SUCCESS &&
            CVodeGetEstLocalErrors(cv.mem, errors) == CV_SUCCESS) {
            const double* w = N_VGetArrayPointer(weights);
            const double* e = N_VGetArrayPointer(errors);
            int worst = -1;
            double largest = -1.0;
            for (int i = 0; i < sim.n_states; ++i)
                if (std::isfinite(e[i] * w[i]) && std::fabs(e[i] * w[i]) > largest) {
                    largest = std::fabs(e[i] * w[i]);
                    worst = i;
                }
            int offset = 0;
            for (const auto& b : sim.blocks) {
                const int count = static_cast<int>(b->cont_states().size());
                if (worst >= offset && worst < offset + count) {
                    text = "the state holding the steps down: block '" + b->name() + "', continuous state " +
                           std::to_string(worst - offset);
                    break;
                }
                offset += count;
            }
        }
        if (weights) N_VDestroy(weights);
        if (errors) N_VDestroy(errors);
        return text.empty() ? std::string("no state's error could be read") : text;
    }

    // One integrator step towards the next breakpoint or the stop time; its
    // major step is left to complete().
    void step()
    {
        const SolverSpec& s = sim.model.solver;
        const auto& breaks = sim.breakpoints;
        while (next_break < breaks.size() && breaks[next_break] <= t + eps) ++next_break;
        const double target = next_break < breaks.size() ? std::min(breaks[next_break], stop) : stop;
        if (std::isfinite(target)) check_sundials(CVodeSetStopTime(cv.mem, target), "CVodeSetStopTime");

        sim.integrator_message.clear();
        sim.pending_error = nullptr;
        sim.trial_error = nullptr;
        double tret = t;
        const double tout = std::isfinite(target) ? target : t + 1.0;  // one step: only its direction counts
        int flag = CVode(cv.mem, tout, cv.y, &tret, CV_ONE_STEP);
        if (sim.pending_error) std::rethrow_exception(sim.pending_error);
        // Smaller steps did not carry the run past a block's error: that
        // error, as the block gave it, ends the run.
        if (flag < 0 && sim.trial_error) std::rethrow_exception(sim.trial_error);
        if (flag < 0) {
            std::string msg = "integrator failed at t = " + time_text(tret) + " (" + cvode_flag_name(flag) + ")";
            if (!sim.last_nonfinite.empty()) msg = sim.last_nonfinite + "; " + msg;
            if (!sim.integrator_message.empty()) msg += ": " + sim.integrator_message;
            throw SimulationError(msg);
        }
        // A step size that has collapsed to round-off of t (a singularity
        // ahead, derivatives that cannot be evaluated beyond some time) would
        // otherwise creep towards it forever.
        double h = 0.0;
        check_sundials(CVodeGetLastStep(cv.mem, &h), "CVodeGetLastStep");
        if (std::fabs(h) <= 1e-13 * std::max(1.0, std::fabs(tret))) {
            if (++tiny_steps >= 20) {
                std::string msg = "integrator step size collapsed to " + number_text(h) + " at t = " + time_text(tret);
                if (!sim.last_nonfinite.empty()) msg = sim.last_nonfinite + "; " + msg;
                throw SimulationError(msg);
            }
        } else {
            tiny_steps = 0;
        }
        // A run that needs millions of steps (a controller gain that makes
        // the loop chatter, a time constant far below the others) ends,
        // naming the state that holds the steps down.
        if (++steps_taken > s.max_steps)
            throw SimulationError("integrator took max_steps = " + std::to_string(s.max_steps) +
                                  " steps without reaching stop_time, at t = " + time_text(tret) + " (last step " +
                                  number_text(h) + " s); " + stiffest_state() +
                                  " (a gain or time constant making the model this stiff, or raise solver.max_steps)");
        const bool at_target =
            std::isfinite(target) && (flag == CV_TSTOP_RETURN || std::fabs(tret - target) <= eps);
        t = at_target ? target : tret;
        // A source whose output jumps here restarts the integrator; one that
        // only bends needs the stop, not a restart.
        at_break = at_target && next_break < breaks.size() && breaks[next_break] <= t + eps &&
                   std::binary_search(sim.jump_times.begin(), sim.jump_times.end(), target);
    }

    // A row at time t_out inside the latest step, from the step's own
    // interpolating polynomial (CVODE's dense output, as accurate as the
    // step), the outputs evaluated there.
    void interpolated_row(double t_out)
    {
        check_sundials(CVodeGetDky(cv.mem, t_out, 0, cv.y_out), "CVodeGetDky");
        sim.interpolated_row(t_out, N_VGetArrayPointer(cv.y_out), observer);
    }

    // The major step at the end of the latest step; the integrator restarts
    // where a block changed its states and where a source jumps.
    void complete(bool log_now)
    {
        const bool changed = sim.major_step(t, N_VGetArrayPointer(cv.y), log_now, observer);
        if (changed || at_break) restart();
        observer.on_progress(t, sim.stats);
    }

    void restart()
    {
        collect();
        check_sundials(CVodeReInit(cv.mem, t, cv.y), "CVodeReInit");
        // The loops' solutions before a jump say nothing of those after.
        for (auto& L : sim.loops) L.previous_values.clear();
        ++sim.stats.restarts;
    }

    // The major step at t once more, with inputs that changed after it.
    void major_step_again()
    {
        sim.major_step(t, N_VGetArrayPointer(cv.y), false, observer);
        restart();
    }

    // The latest step abandoned at t_back inside it (the inputs changed
    // there): the states interpolated at t_back, a major step there and the
    // integrator restarted from it.
    void restart_inside(double t_back)
    {
        check_sundials(CVodeGetDky(cv.mem, t_back, 0, cv.y), "CVodeGetDky");
        t = t_back;
        at_break = false;
        sim.major_step(t, N_VGetArrayPointer(cv.y), false, observer);
        restart();
    }
};

void Simulation::Impl::StepperDeleter::operator()(Stepper* s) const { delete s; }

void Simulation::Impl::integrate(RunObserver& observer)
{
    const SolverSpec& s = model.solver;
    Stepper st(*this, observer);
    st.begin(s.stop_time);

    // Output times are start + k * interval, counted, not accumulated. The
    // integrator does not stop at them: it takes the steps its error control
    // chooses and stops only at the sources' breakpoints and at the stop time.
    // A row at an output time inside a step is interpolated there; the step
    // count does not depend on the output interval.
    const double eps = st.eps;
    long next_output = 1;
    auto output_time = [&](long k) {
        return s.output_interval > 0 ? std::min(s.start_time + static_cast<double>(k) * s.output_interval, s.stop_time)
                                     : s.stop_time;
    };
    while (st.t < s.stop_time - eps && !observer.stop_requested()) {
        st.step();
        const double t = st.t;
        // Rows at the output times this step passed, before the major step
        // at its end may change the states.
        if (s.output_interval > 0) {
            while (output_time(next_output) < t - eps) {
                const double t_out = output_time(next_output++);
                st.interpolated_row(t_out);
                // A plant that has settled at this row ends the run here, at
                // the row's time, with the interpolated states it was logged at.
                if (observer.stop_requested()) {
                    t_now = t_out;
                    return;
                }
            }
        }
        bool log_now = true;
        if (s.output_interval > 0) {
            log_now = std::fabs(output_time(next_output) - t) <= eps;
            if (log_now) ++next_output;
        }
        st.complete(log_now);
    }
}

// A co-simulation: the first major step now, then advance_to() from one
// communication point to the next. The major step at the end of the step
// that passes a communication point waits for the next advance: when the
// inputs change at the point, that step is abandoned and the integrator
// restarts there; when they do not, the step stands, its major step is done
// as in a run, and the run takes exactly the steps `cyclesim run` takes.
void Simulation::Impl::begin_cosimulation(RunObserver& observer, double stop_time)
{
    cosim.reset();
    cosim_pending = false;
    start_blocks(observer);
    cosim.reset(new Stepper(*this, observer));
    cosim->begin(stop_time);
    cosim_time = model.solver.start_time;
}

void Simulation::Impl::advance_to(double target, bool inputs_changed)
{
    if (!cosim) throw SimulationError("the co-simulation has not begun");
    Stepper& st = *cosim;
    if (!(target > cosim_time)) throw SimulationError("communication point " + time_text(target) +
                                                       " is not after the current time " + time_text(cosim_time));
    if (target > st.stop + st.eps)
        throw SimulationError("communication point " + time_text(target) + " is beyond the stop time " +
                              time_text(st.stop));
    if (inputs_changed) {
        if (cosim_pending) {
            st.restart_inside(cosim_time);
        } else {
            // Standing at the point with its major step done (the start):
            // the step is done again with the new inputs.
            st.t = cosim_time;
            st.at_break = false;
            st.major_step_again();
        }
        cosim_pending = false;
    }
    for (;;) {
        if (cosim_pending) {
            if (st.t >= target - st.eps) break;  // the step covers the point
            st.complete(false);
            cosim_pending = false;
        }
        if (st.t >= target - st.eps) break;
        st.step();
        cosim_pending = true;
    }
    if (cosim_pending) {
        st.interpolated_row(target);
    } else {
        interpolated_row(target, N_VGetArrayPointer(st.cv.y), st.observer);
    }
    cosim_time = target;
}

void Simulation::Impl::end_cosimulation() noexcept
{
    cosim.reset();
    cosim_pending = false;
}

}  // namespace cyclesim
