// The settled operating point: the continuous states x at which every state
// derivative f(x) vanishes, with the inputs as they stand at the start time.
//
// Method: Newton's method (KINSOL, line search, difference Jacobian) on
// f(x) = 0 directly, from the start state, each residual evaluation being
// one minor step of the model (outputs with the algebraic loops solved, then
// derivatives). The unknowns are the states whose derivative the blocks
// compute; a state the block holds constant in its present mode (derivative
// exactly zero whatever the states, e.g. the condenser's superheated length
// and void fraction in its three-zone mode, which are algebraic there) keeps
// its value.
//
// The charge: in a closed cycle the condenser's mass balance is, at steady
// state, a consequence of its energy balances and of equal flows in and out,
// so its three derivatives are linearly dependent there and the Jacobian of
// f is singular: every charge has its own steady state. The charge is
// therefore pinned: the subcooled length's equation dL3/dt = 0 is replaced by
// M(x) = M0, the inventory equal to the unit's charge, and dL3/dt is checked
// afterwards with the other derivatives. This keeps the charge exactly (to
// the solver's tolerance) where a pseudo-transient would keep it only to the
// accuracy of the integration.
//
// A controller with integral action settles at zero error, or against its
// limit with the remaining error reported. A point at which a block switches
// its discrete state (the condenser's mode, a trip) or at which Newton does
// not converge is no steady state; the reason comes back instead.
#include "simulation_impl.h"

#include "errors.h"
#include "number_text.h"

#include <algorithm>
#include <cmath>
#include <ctime>

namespace cyclesim {

namespace cp = condenser_ports;

namespace {

constexpr int kMaxNewtonIterations = 60;
// Pseudo-transient continuation: first step [s], growth per accepted step,
// the step at which it hands over to Newton, the most steps, and the
// tolerance and iterations of each step's solve.
constexpr double kPseudoFirstStep = 0.5, kPseudoGrowth = 2.5, kPseudoLastStep = 1e5;
constexpr int kPseudoMaxSteps = 80;
constexpr double kPseudoStepTolerance = 1e-6;
constexpr int kPseudoStepIterations = 15;

std::string state_name(const SimBlock& block, int i, int n)
{
    static const char* condenser_states[] = {"L1", "P", "h3", "L3", "gamma"};
    if (block.kind() == "S-function Condenser" && n == 5) return block.name() + "." + condenser_states[i];
    if (block.kind() == "pid") return block.name() + (i == 0 ? ".integral" : ".filter");
    return n == 1 ? block.name() : block.name() + ".x" + std::to_string(i);
}

}  // namespace

void Simulation::Impl::set_steady_evaluation(bool on)
{
    steady_evaluation = on;
    for (auto& b : blocks) b->set_steady_evaluation(on);
}

SteadyPoint Simulation::Impl::solve_steady(RunObserver& observer)
{
    const std::clock_t cpu_start = std::clock();
    const double t = model.solver.start_time;
    t_now = t;
    SteadyPoint point;
    point.time = t;
    point.method = "Newton (KINSOL) on the state derivatives, the condenser's charge pinned in place of dL3/dt";

    // The start time's major step: controllers start bumplessly, blocks with
    // memory take their first values; a state it changes is kept.
    const int n = n_states;
    std::vector<double> y0(static_cast<std::size_t>(std::max(n, 1)), 0.0);
    gather_states(y0.data());
    major_step(t, y0.data(), false, observer);
    gather_states(y0.data());
    if (condenser >= 0 && !charge_target) charge_target = condenser_charge_now(t);

    set_steady_evaluation(true);
    struct SteadyOff {
        Impl* impl;
        ~SteadyOff() { impl->set_steady_evaluation(false); }
    } steady_off{this};

    std::vector<double> f0(y0.size()), y1(y0), f1(y0.size());
    if (rhs(t, y0.data(), f0.data()) != 0) {
        if (pending_error) std::rethrow_exception(pending_error);
        point.reason = "the model cannot be evaluated at its start state: " + last_nonfinite;
        return point;
    }
    // States the blocks hold in their present mode: derivative exactly zero
    // here and at a point with every state moved.
    for (int i = 0; i < n; ++i) y1[i] = y0[i] * (1.0 + 1e-4) + 1e-8;
    const bool probed = rhs(t, y1.data(), f1.data()) == 0;
    if (pending_error) std::rethrow_exception(pending_error);

    std::vector<int> unknown;  // global state indices solved for
    std::vector<std::string> role(static_cast<std::size_t>(n), "solved");
    for (int i = 0; i < n; ++i) {
        if (f0[i] == 0.0 && probed && f1[i] == 0.0) {
            role[i] = "algebraic";
            continue;
        }
        unknown.push_back(i);
    }
    int charge_row = -1;
    if (condenser >= 0 && charge_target) {
        const int L3 = state_offset[condenser] + cp::state_L3;
        auto it = std::find(unknown.begin(), unknown.end(), L3);
        if (it != unknown.end()) {
            charge_row = static_cast<int>(it - unknown.begin());
            role[L3] = "charge";
        }
    }
    const int m = static_cast<int>(unknown.size());
    std::vector<double> typical(static_cast<std::size_t>(m));
    for (int k = 0; k < m; ++k) {
        const double v = std::fabs(y0[unknown[k]]);
        typical[k] = v > 1e-3 ? v : 1.0;
    }

    std::vector<double> y(y0), dy(y0.size());
    std::string trouble;
    double pseudo_step = 0.0;          // dt of a pseudo-transient step, 0: plain Newton
    std::vector<double> u_previous;    // the unknowns at the previous pseudo-transient step
    // The loops' tear values of the latest point that evaluated: a refused
    // trial point leaves its own behind, from which the next point's loop
    // solve would start (the loops start warm from where they stood).
    std::vector<std::vector<double>> good_tears;
    for (const auto& L : loops) good_tears.push_back(L.tear_values);
    const auto start_tears = good_tears;
    auto restore_tears = [&]() {
        for (std::size_t l = 0; l < loops.size(); ++l) loops[l].tear_values = good_tears[l];
    };
    auto residual = [&](const double* u, double* r) -> int {
        for (int k = 0; k < m; ++k) y[unknown[k]] = u[k];
        const int status = rhs(t, y.data(), dy.data());
        if (status != 0) restore_tears();
        if (status < 0 && pending_error) {
            // A block refusing a trial point (error status) makes the point
            // unusable, as in a loop's Newton iteration: Newton backs off.
            try {
                std::rethrow_exception(pending_error);
            } catch (const SimulationError& e) {
                pending_error = nullptr;
                trouble = e.what();
                return 1;
            } catch (...) {
                return -1;
            }
        }
        if (status != 0) {
            trouble = last_nonfinite;
            return status;
        }
        for (std::size_t l = 0; l < loops.size(); ++l) good_tears[l] = loops[l].tear_values;
        for (int k = 0; k < m; ++k) r[k] = dy[unknown[k]];
        if (pseudo_step > 0.0)
            for (int k = 0; k < m; ++k) r[k] -= (u[k] - u_previous[k]) / pseudo_step;
        if (charge_row >= 0) {
            try {
                // The residual has the unknown's units: relative charge error
                // times the subcooled length's typical size.
                r[charge_row] = (condenser_charge_now(t) - *charge_target) / *charge_target * typical[charge_row];
            } catch (const SimulationError& e) {
                trouble = e.what();
                restore_tears();
                return 1;
            }
        }
        return 0;
    };

    std::vector<double> u(static_cast<std::size_t>(m));
    for (int k = 0; k < m; ++k) u[k] = y0[unknown[k]];
    int flag = 0;
    int newton_flag = 0;
    if (m > 0) {
        LoopSolver newton(sundials, m, 1e-2 * model.start.steady_tolerance, kMaxNewtonIterations, 3e-4);
        LoopSolver stepper(sundials, m, kPseudoStepTolerance, kPseudoStepIterations, 3e-4);
        auto solve = [&](LoopSolver& solver, std::vector<double>& x) {
            pending_error = nullptr;
            const int f = solver.solve(x, typical, residual);
            if (pending_error) std::rethrow_exception(pending_error);
            point.newton_iterations += solver.iterations();
            point.residual_evaluations += solver.evaluations();
            return f;
        };
        flag = solve(newton, u);
        if (flag < 0) {
            // Pseudo-transient continuation: implicit Euler steps of growing
            // size from the start, f(x) - (x - x_k) / dt = 0 (the charge row
            // as it is), each a small Newton solve; the steps follow the
            // plant towards its steady state where plain Newton overshoots,
            // and as dt grows the step becomes Newton's own.
            point.method += ", reached by pseudo-transient continuation (implicit Euler steps of growing size)";
            for (int k = 0; k < m; ++k) u[k] = y0[unknown[k]];
            good_tears = start_tears;
            restore_tears();
            double dt = kPseudoFirstStep;
            for (int step = 0; step < kPseudoMaxSteps && dt < kPseudoLastStep; ++step) {
                u_previous = u;
                pseudo_step = dt;
                std::vector<double> x = u;
                if (solve(stepper, x) < 0) {
                    dt *= 0.25;
                    if (dt < kPseudoFirstStep * 1e-3) break;
                    continue;
                }
                u = x;
                dt *= kPseudoGrowth;
            }
            pseudo_step = 0.0;
            flag = solve(newton, u);
        }
        newton_flag = flag;
        if (flag < 0) {
            point.reason = "Newton found no steady state (" + LoopSolver::flag_name(flag) + ")";
            if (!trouble.empty()) point.reason += "; last trouble: " + trouble;
            if (!newton.last_message().empty()) point.reason += "; " + newton.last_message();
        }
    }

    // The point as found: every derivative, the solved ones and the others.
    for (int k = 0; k < m; ++k) y[unknown[k]] = u[k];
    int status = rhs(t, y.data(), dy.data());
    if (pending_error && flag < 0) {
        // The last iterate of a failed solve may be a point the blocks refuse.
        try {
            std::rethrow_exception(pending_error);
        } catch (const SimulationError& e) {
            pending_error = nullptr;
            last_nonfinite = e.what();
            status = 1;
        }
    }
    if (pending_error) std::rethrow_exception(pending_error);
    if (status != 0 && point.reason.empty()) point.reason = "the point found cannot be evaluated: " + last_nonfinite;
    if (condenser >= 0 && status == 0) {
        point.charge = condenser_charge_now(t);
        point.charge_target = charge_target;
        // The condenser's superheated-length state follows the fitted one,
        // so that a run from this point starts its fit there.
        if (role[state_offset[condenser] + cp::state_L1] == "algebraic") {
            y[state_offset[condenser] + cp::state_L1] = blocks[condenser]->output(0)[cp::out_L1_fitted];
            scatter_states(y.data());
        }
    }
    for (std::size_t b = 0; b < blocks.size(); ++b) {
        const int nb = static_cast<int>(blocks[b]->cont_states().size());
        for (int i = 0; i < nb; ++i) {
            const int g = state_offset[b] + i;
            SteadyPoint::State s;
            s.name = state_name(*blocks[b], i, nb);
            s.value = y[g];
            s.derivative = dy[g];
            // Scaled by the state's size at the start, not at the point: a
            // state that ran away (an integrator fed a constant) must not
            // make its own derivative look small.
            const double scale = std::fabs(y0[g]) > 1e-3 ? std::fabs(y0[g]) : 1.0;
            s.scaled = dy[g] / scale;
            s.role = role[g];
            if (!(std::fabs(s.scaled) <= point.worst_scaled_derivative)) {
                point.worst_scaled_derivative = std::fabs(s.scaled);
                point.worst_state = s.name;
            }
            point.states.push_back(s);
        }
    }
    // Controllers with integral action: zero error, or a limit holding them.
    for (const auto& b : blocks) {
        if (b->kind() != "pid" || b->num_outputs() < 2) continue;
        const double output = b->output(0)[0], error = b->output(1)[0];
        if (std::fabs(error) > 1e-6 * std::max(1.0, std::fabs(output)))
            point.limits.push_back("'" + b->name() + "' held at its limit: output " + number_text(output) +
                                   ", error " + number_text(error) + " remains" +
                                   (b->num_inputs() > 2 ? " (or following its tracking input)" : ""));
    }

    const double tolerance = model.start.steady_tolerance;
    if (newton_flag < 0 && !point.worst_state.empty())
        for (const auto& st : point.states)
            if (st.name == point.worst_state)
                point.reason += "; at the last iterate d/dt " + st.name + " = " + number_text(st.derivative) +
                                " per second at " + number_text(st.value) + " (" +
                                number_text(point.worst_scaled_derivative) + " of its value per second)";
    // The derivatives carry the noise of the blocks' and loops' own solvers
    // (about 1e-6 of each signal): Newton's line search can stall at that
    // floor (no iterate distinct enough) with every derivative already below
    // the tolerance. Such a point is the steady state.
    if (newton_flag < 0 && status == 0 && point.worst_scaled_derivative <= tolerance) {
        point.reason.clear();
        flag = 0;
        point.method += "; Newton's line search stopped at the noise floor of the inner solvers";
    }
    if (point.reason.empty() && !(point.worst_scaled_derivative <= tolerance)) {
        point.reason = "the derivative of " + point.worst_state + " stays at " +
                       number_text(point.worst_scaled_derivative) + " of its value per second (tolerance " +
                       number_text(tolerance) + ")";
        for (const auto& st : point.states)
            if (st.name == point.worst_state && st.role == "charge")
                point.reason += ": its equation was replaced by the charge, and the condenser's mass balance "
                                "does not close at this point (more refrigerant enters than leaves, or less)";
    }
    if (point.reason.empty() && point.charge &&
        !(std::fabs(*point.charge - *point.charge_target) <= 1e-6 * *point.charge_target))
        point.reason = "the charge found (" + number_text(*point.charge) + " kg) is not the one pinned (" +
                       number_text(*point.charge_target) + " kg)";
    // A point where a block would switch (a mode change, a trip) is no
    // steady state of the model as it stands.
    if (point.reason.empty()) {
        std::vector<std::vector<double>> before;
        for (auto& b : blocks) before.emplace_back(b->disc_states().begin(), b->disc_states().end());
        if (auto msg = evaluate_outputs(t, true)) throw SimulationError("non-finite output: " + *msg);
        for (const auto& item : plan.order) {
            if (item.block >= 0)
                blocks[item.block]->update(t);
            else
                for (int mb : loops[item.loop].plan.members) blocks[mb]->update(t);
        }
        for (std::size_t b = 0; b < blocks.size(); ++b) {
            auto d = blocks[b]->disc_states();
            if (!std::equal(d.begin(), d.end(), before[b].begin(), before[b].end())) {
                point.reason = "block '" + blocks[b]->name() + "' (" + blocks[b]->kind() +
                               ") switches its discrete state at the point found (a mode change or a trip)";
                std::copy(before[b].begin(), before[b].end(), d.begin());
                break;
            }
        }
        scatter_states(y.data());
        if (auto msg = evaluate_outputs(t, false)) throw SimulationError("non-finite output: " + *msg);
    }
    point.solved = point.reason.empty() && flag >= 0;
    point.cpu_seconds = static_cast<double>(std::clock() - cpu_start) / CLOCKS_PER_SEC;
    return point;
}

SteadyPoint Simulation::Impl::steady(RunObserver& observer)
{
    SteadyPoint point;
    try {
        // The start the model asks for, but never a transient: a steady
        // start is the point itself.
        // Newton starts best from the start from the charge (condensing
        // just above the air, near where the cycle settles), unless the
        // command line asked for another start.
        const StartFrom from = model.start.from;
        bool has_condenser = false;
        for (const auto& b : blocks) has_condenser = has_condenser || b->kind() == "S-function Condenser";
        if (has_condenser && (from == StartFrom::steady || !model.start.from_given)) model.start.from = StartFrom::charge;
        // The start is computed as the steady evaluation sees the plant: a
        // rate limiter already at its input (the actuator where it settles),
        // not at its initial value.
        set_steady_evaluation(true);
        start_blocks(observer);
        model.start.from = from;
        point = solve_steady(observer);
        point.rating = rate_cycle();
        hand_off_row(point.time, observer);
    } catch (const std::exception& e) {
        const std::string msg = explained_failure(e.what(), observer);
        terminate_all();
        throw SimulationError(msg);
    }
    for (auto& b : blocks) b->terminate();
    return point;
}

}  // namespace cyclesim
