// Evaluation of the blocks: a minor step (the integrator's right-hand side
// and its difference Jacobian) and the bookkeeping of a major step (outputs,
// logging, updates, derivatives, and whether the integrator must restart).
#include "simulation_impl.h"

#include "number_text.h"
#include "signal_text.h"

#include <algorithm>
#include <cmath>

namespace cyclesim {

namespace {

// Relative step of the integrator's difference Jacobian (see jacobian()).
constexpr double kStateDifferenceStep = 3e-4;

}  // namespace

void Simulation::Impl::scatter_states(const double* y)
{
    for (std::size_t b = 0; b < blocks.size(); ++b) {
        auto x = blocks[b]->cont_states();
        std::copy(y + state_offset[b], y + state_offset[b] + x.size(), x.begin());
    }
}

void Simulation::Impl::gather_states(double* y)
{
    for (std::size_t b = 0; b < blocks.size(); ++b) {
        auto x = blocks[b]->cont_states();
        std::copy(x.begin(), x.end(), y + state_offset[b]);
    }
}

void Simulation::Impl::gather_derivatives(double* dy)
{
    for (std::size_t b = 0; b < blocks.size(); ++b) {
        auto d = blocks[b]->derivatives_vector();
        std::copy(d.begin(), d.end(), dy + state_offset[b]);
    }
}

std::optional<std::string> Simulation::Impl::nonfinite_output(int b, double t)
{
    for (int p = 0; p < blocks[b]->num_outputs(); ++p) {
        auto y = blocks[b]->output(p);
        for (std::size_t e = 0; e < y.size(); ++e)
            if (!std::isfinite(y[e]))
                return element_text(*blocks[b], PortSide::output, p, static_cast<int>(e), true) + " is " +
                       number_text(y[e]) + " at t = " + time_text(t);
    }
    return std::nullopt;
}

std::optional<std::string> Simulation::Impl::nonfinite_derivative(double t)
{
    for (std::size_t b = 0; b < blocks.size(); ++b) {
        auto d = blocks[b]->derivatives_vector();
        for (std::size_t e = 0; e < d.size(); ++e)
            if (!std::isfinite(d[e]))
                return "block '" + blocks[b]->name() + "' (" + blocks[b]->kind() + ") derivative of state " +
                       std::to_string(e) + " is " + number_text(d[e]) + " at t = " + time_text(t);
    }
    return std::nullopt;
}

// Outputs of every block in dependency order. Returns a message for the
// first non-finite output (the evaluation stops there).
std::optional<std::string> Simulation::Impl::evaluate_outputs(double t, bool major)
{
    for (const auto& item : plan.order) {
        if (item.block >= 0) {
            blocks[item.block]->outputs(t, major);
            if (auto msg = nonfinite_output(item.block, t)) return msg;
        } else {
            solve_loop(loops[item.loop], t, major);
            for (int m : loops[item.loop].plan.members)
                if (auto msg = nonfinite_output(m, t)) return msg;
        }
    }
    return std::nullopt;
}

// After a trial state the integrator rejects (a block's refusal, a loop
// that could not be solved, a non-finite value), the loops start again from
// their solutions at the latest major step. A loop that has wandered onto
// another root at a state far off (a long step's predictor) would otherwise
// start every retry from that root, and the smaller steps would not help.
void Simulation::Impl::restart_loops_from_accepted()
{
    for (auto& L : loops)
        if (L.accepted_values.size() == L.tear_values.size()) L.tear_values = L.accepted_values;
}

// Right-hand side for CVODE: a minor step.
int Simulation::Impl::rhs(double t, const double* y, double* dy)
{
    const int status = rhs_evaluation(t, y, dy);
    if (status > 0) restart_loops_from_accepted();
    return status;
}

int Simulation::Impl::rhs_evaluation(double t, const double* y, double* dy)
{
    ++stats.rhs_evaluations;
    try {
        scatter_states(y);
        if (auto msg = evaluate_outputs(t, false)) {
            last_nonfinite = "non-finite value: " + *msg;
            return 1;  // recoverable: CVODE retries with a smaller step
        }
        for (auto& b : blocks)
            if (!b->cont_states().empty()) b->derivatives(t, false);
        if (auto msg = nonfinite_derivative(t)) {
            last_nonfinite = "non-finite value: " + *msg;
            return 1;
        }
        gather_derivatives(dy);
        if (n_states == 0) dy[0] = 0.0;
        return 0;
    } catch (const LoopFailure& e) {
        last_nonfinite = e.what();
        return 1;
    } catch (const TripError&) {
        pending_error = std::current_exception();
        return -1;
    } catch (const SimulationError& e) {
        // A block refusing a trial state (a condenser handed zone lengths
        // outside [0, 1] by a step too long) says nothing about the run: the
        // integrator retries with a smaller step. Only when retrying does not
        // help does this error end the run (see the integrator driver).
        trial_error = std::current_exception();
        last_nonfinite = e.what();
        return 1;
    } catch (...) {
        pending_error = std::current_exception();
        return -1;
    }
}

// Jacobian of the right-hand side by forward differences, column by
// column. The step is relative (3e-4 of |y| + atol/rtol), not CVODE's
// sqrt(machine epsilon): the right-hand side runs the blocks' inner
// solvers and the loop solver, which converge to about 1e-6, and a tiny
// step would difference their convergence noise.
int Simulation::Impl::jacobian(double t, const double* y, const double* fy, double* const* columns, int n,
                               double* ytmp, double* ftmp)
{
    // Near zero a state is perturbed relative to the magnitude at which the
    // absolute tolerance takes over from the relative one, atol/rtol, but to
    // at most one: a tight rtol (1e-10) or a loose atol (1) would otherwise
    // push a zone length or a fraction by whole units, to states no block can
    // evaluate, and the Jacobian could not be formed at all.
    const double floor = std::min(model.solver.atol / model.solver.rtol, 1.0);
    std::copy(y, y + n, ytmp);
    for (int j = 0; j < n; ++j) {
        const double h = kStateDifferenceStep * (std::fabs(y[j]) + floor);
        int status = 1;
        for (double sign : {1.0, -1.0}) {
            ytmp[j] = y[j] + sign * h;
            status = rhs(t, ytmp, ftmp);
            if (status < 0) return status;
            if (status == 0) {
                const double step = ytmp[j] - y[j];
                for (int i = 0; i < n; ++i) columns[j][i] = (ftmp[i] - fy[i]) / step;
                break;
            }
        }
        ytmp[j] = y[j];
        if (status != 0) return 1;
    }
    scatter_states(y);
    return 0;
}

// The logged signals as they stand, as one row at t.
void Simulation::Impl::hand_off_row(double t, RunObserver& observer)
{
    std::vector<double> row;
    row.reserve(logged.size());
    for (const double* p : logged) row.push_back(*p);
    observer.on_log(t, row);
    ++stats.logged_rows;
}

// A row at an output time inside an integrator step: the blocks see the
// interpolated states and compute their outputs there as in a minor step
// (nothing is updated, no block acts as at a major step); the next major
// step or minor step sets the states from the integrator again.
void Simulation::Impl::interpolated_row(double t, const double* y, RunObserver& observer)
{
    scatter_states(y);
    if (auto msg = evaluate_outputs(t, false)) throw SimulationError("non-finite output: " + *msg);
    hand_off_row(t, observer);
}

// One major step at t from the integrator's states y (updated in place
// when a block changes its states). Returns whether the integrator must
// restart.
bool Simulation::Impl::major_step(double t, double* y, bool log_now, RunObserver& observer)
{
    t_now = t;
    ++stats.major_steps;
    scatter_states(y);
    std::vector<std::vector<double>> disc_before;
    for (auto& b : blocks) disc_before.emplace_back(b->disc_states().begin(), b->disc_states().end());

    if (auto msg = evaluate_outputs(t, true)) throw SimulationError("non-finite output: " + *msg);
    for (auto& L : loops) {
        L.previous_values = std::move(L.accepted_values);
        L.previous_time = L.accepted_time;
        L.accepted_values = L.tear_values;
        L.accepted_time = t;
    }
    if (log_now) hand_off_row(t, observer);
    for (const auto& item : plan.order) {
        if (item.block >= 0)
            blocks[item.block]->update(t);
        else
            for (int m : loops[item.loop].plan.members) blocks[m]->update(t);
    }
    for (auto& b : blocks)
        if (!b->cont_states().empty()) b->derivatives(t, true);
    if (auto msg = nonfinite_derivative(t)) throw SimulationError("non-finite derivative: " + *msg);

    bool changed = false;
    for (std::size_t b = 0; b < blocks.size(); ++b) {
        auto x = blocks[b]->cont_states();
        for (std::size_t i = 0; i < x.size(); ++i) {
            double& yi = y[state_offset[b] + i];
            if (!(x[i] == yi)) {
                if (!std::isfinite(x[i]))
                    throw SimulationError("block '" + blocks[b]->name() + "' set state " + std::to_string(i) +
                                          " to " + number_text(x[i]) + " at t = " + time_text(t));
                yi = x[i];
                changed = true;
            }
        }
        auto d = blocks[b]->disc_states();
        if (!std::equal(d.begin(), d.end(), disc_before[b].begin(), disc_before[b].end())) changed = true;
        if (blocks[b]->take_reset_request()) changed = true;
    }
    return changed;
}

}  // namespace cyclesim
