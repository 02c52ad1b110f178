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
    Simulation::Impl* sim;
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

void Simulation::Impl::integrate(RunObserver& observer)
{
    const SolverSpec& s = model.solver;
    const int n = std::max(n_states, 1);  // CVODE needs one state; a model without any gets a constant
    CvodeRun cv{this};
    cv.y = N_VNew_Serial(n, sundials.get());
    if (!cv.y) throw SimulationError("cannot allocate the state vector");
    double* y = N_VGetArrayPointer(cv.y);
    y[0] = 0.0;
    gather_states(y);

    double t = s.start_time;
    bool restart = major_step(t, y, true, observer);
    (void)restart;  // the integrator starts from whatever the first step left
    observer.on_progress(t, stats);

    cv.mem = CVodeCreate(s.method == Method::BDF ? CV_BDF : CV_ADAMS, sundials.get());
    if (!cv.mem) throw SimulationError("cannot create the integrator");
    check_sundials(CVodeInit(cv.mem, cvode_rhs, t, cv.y), "CVodeInit");
    check_sundials(CVodeSetUserData(cv.mem, this), "CVodeSetUserData");
    sundials.capture_cvode_errors(cv.mem, &integrator_message);
    check_sundials(CVodeSStolerances(cv.mem, s.rtol, s.atol), "CVodeSStolerances");
    cv.A = SUNDenseMatrix(n, n, sundials.get());
    cv.LS = cv.A ? SUNLinSol_Dense(cv.y, cv.A, sundials.get()) : nullptr;
    if (!cv.LS) throw SimulationError("cannot allocate the integrator's linear solver");
    check_sundials(CVodeSetLinearSolver(cv.mem, cv.LS, cv.A), "CVodeSetLinearSolver");
    check_sundials(CVodeSetJacFn(cv.mem, cvode_jacobian), "CVodeSetJacFn");
    auto configure = [&]() {
        if (s.max_step > 0) check_sundials(CVodeSetMaxStep(cv.mem, s.max_step), "CVodeSetMaxStep");
        if (s.initial_step > 0) check_sundials(CVodeSetInitStep(cv.mem, s.initial_step), "CVodeSetInitStep");
        check_sundials(CVodeSetMaxNumSteps(cv.mem, 100000), "CVodeSetMaxNumSteps");
    };
    configure();

    // CVodeReInit clears the counters: they are added up before each restart
    // and once more when the run ends, however it ends.
    auto collect = [this, &cv]() {
        stats.integrator_steps += cvode_counter(CVodeGetNumSteps, cv.mem, "CVodeGetNumSteps");
        stats.error_test_failures += cvode_counter(CVodeGetNumErrTestFails, cv.mem, "CVodeGetNumErrTestFails");
        stats.nonlinear_iterations += cvode_counter(CVodeGetNumNonlinSolvIters, cv.mem, "CVodeGetNumNonlinSolvIters");
        stats.nonlinear_convergence_failures +=
            cvode_counter(CVodeGetNumNonlinSolvConvFails, cv.mem, "CVodeGetNumNonlinSolvConvFails");
        stats.jacobian_evaluations += cvode_counter(CVodeGetNumJacEvals, cv.mem, "CVodeGetNumJacEvals");
        double h = 0;
        check_sundials(CVodeGetLastStep(cv.mem, &h), "CVodeGetLastStep");
        if (h > 0) stats.last_step_size = h;
    };

    // At the end of the run, however it ends. A failure to read the counters
    // there must not hide the failure that ended the run.
    struct CollectAtExit {
        std::function<void()> f;
        ~CollectAtExit()
        {
            try {
                f();
            } catch (...) {
            }
        }
    } collect_at_exit{collect};

    // Output times are start + k * interval, counted, not accumulated. The
    // integrator does not stop at them: it takes the steps its error control
    // chooses and stops only at the sources' breakpoints and at the stop time.
    // A row at an output time inside a step comes from the step's own
    // interpolating polynomial (CVODE's dense output, as accurate as the step)
    // with the outputs evaluated there; the step count does not depend on the
    // output interval.
    const double eps = 1e-12 * std::max({1.0, std::fabs(s.start_time), std::fabs(s.stop_time)});
    long next_output = 1;
    auto output_time = [&](long k) {
        return s.output_interval > 0 ? std::min(s.start_time + static_cast<double>(k) * s.output_interval, s.stop_time)
                                     : s.stop_time;
    };
    cv.y_out = N_VNew_Serial(n, sundials.get());
    if (!cv.y_out) throw SimulationError("cannot allocate the interpolated state vector");
    std::size_t next_break = 0;
    int tiny_steps = 0;
    long steps_taken = 0;
    // The state with the largest weighted local error of the last step: the
    // one whose dynamics hold the step size down.
    auto stiffest_state = [&]() -> std::string {
        N_Vector weights = N_VClone(cv.y), errors = N_VClone(cv.y);
        std::string text;
        if (weights && errors && CVodeGetErrWeights(cv.mem, weights) == CV_SUCCESS &&
            CVodeGetEstLocalErrors(cv.mem, errors) == CV_SUCCESS) {
            const double* w = N_VGetArrayPointer(weights);
            const double* e = N_VGetArrayPointer(errors);
            int worst = -1;
            double largest = -1.0;
            for (int i = 0; i < n_states; ++i)
                if (std::isfinite(e[i] * w[i]) && std::fabs(e[i] * w[i]) > largest) {
                    largest = std::fabs(e[i] * w[i]);
                    worst = i;
                }
            int offset = 0;
            for (const auto& b : blocks) {
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
    };

    while (t < s.stop_time - eps && !observer.stop_requested()) {
        while (next_break < breakpoints.size() && breakpoints[next_break] <= t + eps) ++next_break;
        const double target = next_break < breakpoints.size() ? breakpoints[next_break] : s.stop_time;
        check_sundials(CVodeSetStopTime(cv.mem, target), "CVodeSetStopTime");

        integrator_message.clear();
        pending_error = nullptr;
        trial_error = nullptr;
        double tret = t;
        int flag = CVode(cv.mem, target, cv.y, &tret, CV_ONE_STEP);
        if (pending_error) std::rethrow_exception(pending_error);
        // Smaller steps did not carry the run past a block's error: that
        // error, as the block gave it, ends the run.
        if (flag < 0 && trial_error) std::rethrow_exception(trial_error);
        if (flag < 0) {
            std::string msg = "integrator failed at t = " + time_text(tret) + " (" + cvode_flag_name(flag) + ")";
            if (!last_nonfinite.empty()) msg = last_nonfinite + "; " + msg;
            if (!integrator_message.empty()) msg += ": " + integrator_message;
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
                if (!last_nonfinite.empty()) msg = last_nonfinite + "; " + msg;
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
        const bool at_target = flag == CV_TSTOP_RETURN || std::fabs(tret - target) <= eps;
        t = at_target ? target : tret;

        // Rows at the output times this step passed, before the major step
        // at its end may change the states.
        if (s.output_interval > 0) {
            while (output_time(next_output) < t - eps) {
                const double t_out = output_time(next_output++);
                check_sundials(CVodeGetDky(cv.mem, t_out, 0, cv.y_out), "CVodeGetDky");
                interpolated_row(t_out, N_VGetArrayPointer(cv.y_out), observer);
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
        // A source whose output jumps here restarts the integrator; one that
        // only bends needs the stop, not a restart.
        const bool at_jump = at_target && next_break < breakpoints.size() &&
                             std::binary_search(jump_times.begin(), jump_times.end(), target);
        bool changed = major_step(t, y, log_now, observer);
        if (changed || at_jump) {
            collect();
            check_sundials(CVodeReInit(cv.mem, t, cv.y), "CVodeReInit");
            // The loops' solutions before the jump say nothing of those after.
            for (auto& L : loops) L.previous_values.clear();
            ++stats.restarts;
        }
        observer.on_progress(t, stats);
    }
}

}  // namespace cyclesim
