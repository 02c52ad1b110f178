// The algebraic loops at run time: the execution plan with one runtime per
// loop, the loop's residual, and its solve (warm Newton first, then fresh
// Jacobians from the same start, then a clear failure).
#include "simulation_impl.h"

#include "number_text.h"

#include <algorithm>
#include <cmath>

namespace cyclesim {

namespace {

// Relative step of the loop Jacobian's differences (see loop_solver.h).
constexpr double kLoopDifferenceStep = 3e-4;

}  // namespace

bool loop_solution_accepted(int flag, double worst, double tolerance)
{
    return worst <= tolerance || (flag >= 0 && worst <= kLoopAcceptFactor * tolerance);
}

void Simulation::Impl::make_plan()
{
    std::vector<FeedthroughEdge> edges;
    for (std::size_t b = 0; b < blocks.size(); ++b)
        for (int p = 0; p < blocks[b]->num_inputs(); ++p) {
            if (!blocks[b]->direct_feedthrough(p)) continue;
            for (int e = 0; e < blocks[b]->input_width(p); ++e)
                edges.push_back({sources[b][p][e], ElementRef{static_cast<int>(b), p, e}});
        }
    plan = make_execution_plan(static_cast<int>(blocks.size()), edges);
    loops.resize(plan.loops.size());
    for (std::size_t l = 0; l < plan.loops.size(); ++l) {
        LoopRuntime& L = loops[l];
        L.plan = plan.loops[l];
        const std::size_t n = L.plan.tears.size();
        L.tear_values.assign(n, 0.0);
        L.max_seen.assign(n, 0.0);
        L.guesses.assign(n, std::nullopt);
        for (std::size_t i = 0; i < n; ++i)
            for (const auto& [ref, value] : guesses)
                if (ref == L.plan.tears[i]) L.guesses[i] = value;
        for (const auto& r : L.plan.tears) L.tear_sources.push_back(&blocks[r.block]->output(r.port)[r.element]);
        for (const auto& [in, k] : L.plan.torn_inputs)
            blocks[in.block]->connect_input(in.port, in.element, &L.tear_values[k]);
        L.solver = std::make_unique<LoopSolver>(sundials, static_cast<int>(n), model.solver.loop_tolerance,
                                                model.solver.loop_max_iterations, kLoopDifferenceStep);
    }
}

// A tear variable in messages: block.port.element.
std::string Simulation::Impl::tear_text(const ElementRef& r) const
{
    return blocks[r.block]->name() + "." + std::to_string(r.port) + "." + std::to_string(r.element);
}

// Residual of a loop at x. Inside Newton iterations (`trial`), a block that
// refuses a trial point (error status) makes the point unusable, like a
// non-finite value, and Newton backs off; elsewhere the refusal is final.
int Simulation::Impl::loop_residual(LoopRuntime& L, const double* x, double* f, double t, bool major, bool trial)
{
    try {
        std::copy(x, x + L.tear_values.size(), L.tear_values.begin());
        for (int m : L.plan.members) blocks[m]->outputs(t, major);
        int status = 0;
        for (std::size_t i = 0; i < L.tear_values.size(); ++i) {
            f[i] = *L.tear_sources[i] - x[i];
            if (!std::isfinite(f[i])) status = 1;
        }
        L.last_x.assign(x, x + L.tear_values.size());
        L.last_f.assign(f, f + L.tear_values.size());
        L.last_status = status;
        return status;
    } catch (const SimulationError& e) {
        L.last_status = -1;
        if (trial) {
            L.block_error = e.what();
            return 1;
        }
        pending_error = std::current_exception();
        return -1;
    } catch (...) {
        L.last_status = -1;
        pending_error = std::current_exception();
        return -1;
    }
}

std::string Simulation::Impl::describe_loop(const LoopRuntime& L) const
{
    std::string s = "algebraic loop through ";
    for (std::size_t i = 0; i < L.plan.members.size(); ++i)
        s += (i ? ", '" : "'") + blocks[L.plan.members[i]]->name() + "'";
    s += " (tear signals ";
    for (std::size_t i = 0; i < L.plan.tears.size(); ++i) {
        s += (i ? ", " : "") + tear_text(L.plan.tears[i]);
    }
    return s + ")";
}

void Simulation::Impl::solve_loop(LoopRuntime& L, double t, bool major)
{
    const std::size_t n = L.tear_values.size();
    std::vector<double> x = L.tear_values, f(n);
    if (!L.primed) {
        // First guess: the model's starting values; unknowns without one
        // take one pass through the loop from the outputs' initial values,
        // so that they start at their own magnitudes.
        bool all_guessed = true;
        for (std::size_t i = 0; i < n; ++i) {
            x[i] = L.guesses[i] ? *L.guesses[i] : *L.tear_sources[i];
            all_guessed = all_guessed && L.guesses[i].has_value();
        }
        if (!all_guessed) {
            if (loop_residual(L, x.data(), f.data(), t, major) < 0) std::rethrow_exception(pending_error);
            for (std::size_t i = 0; i < n; ++i)
                if (!L.guesses[i] && std::isfinite(f[i])) x[i] += f[i];
        }
        L.primed = true;
    }
    // At a new time inside the step after a major step, the solution moves
    // on along the line through the last two major steps' solutions: start
    // there rather than where the latest solve left it. Repeated solves at
    // one time (the integrator's Newton iterations and difference columns)
    // start from the latest solution, which is closer.
    if (!major && t != L.last_solve_time && L.previous_values.size() == n && L.accepted_values.size() == n &&
        L.accepted_time > L.previous_time && t > L.accepted_time &&
        t - L.accepted_time <= 2.0 * (L.accepted_time - L.previous_time)) {
        const double ahead = (t - L.accepted_time) / (L.accepted_time - L.previous_time);
        for (std::size_t i = 0; i < n; ++i) {
            const double guess = L.accepted_values[i] + ahead * (L.accepted_values[i] - L.previous_values[i]);
            if (std::isfinite(guess)) x[i] = guess;
        }
    }
    L.last_solve_time = t;
    std::vector<double> typical(n);
    for (std::size_t i = 0; i < n; ++i) {
        L.max_seen[i] = std::max(L.max_seen[i], std::fabs(x[i]));
        typical[i] = std::max(std::fabs(x[i]), 1e-3 * L.max_seen[i]);
        if (!(typical[i] > 0)) typical[i] = 1.0;
    }
    const double tol = model.solver.loop_tolerance;
    const std::vector<double> start = x;
    int flag = 0;
    double worst = 0.0;
    std::size_t worst_i = 0;
    // First with the Jacobian of the previous solve, then, if that fails,
    // from the same start with fresh ones.
    for (bool reuse : {true, false}) {
        x = start;
        pending_error = nullptr;
        L.block_error.clear();
        flag = L.solver->solve(
            x, typical, [&](const double* u, double* r) { return loop_residual(L, u, r, t, major, true); },
            reuse);
        ++stats.loop_solves;
        stats.loop_iterations += L.solver->iterations();
        stats.loop_residual_evaluations += L.solver->evaluations();
        if (pending_error) std::rethrow_exception(pending_error);
        // The outputs must belong to the solution: evaluate once more
        // unless the latest evaluation was at it, and judge the residual.
        if (L.last_x == x && L.last_status == 0) {
            f = L.last_f;
        } else {
            if (loop_residual(L, x.data(), f.data(), t, major) < 0) std::rethrow_exception(pending_error);
            ++stats.loop_residual_evaluations;
        }
        worst = 0.0;
        worst_i = 0;
        for (std::size_t i = 0; i < n; ++i) {
            double r = std::isfinite(f[i]) ? std::fabs(f[i]) / typical[i] : INFINITY;
            if (!(r <= worst)) worst = r, worst_i = i;
        }
        if (loop_solution_accepted(flag, worst, tol)) return;
    }
    std::string msg = describe_loop(L) + " could not be solved at t = " + time_text(t) + ": " +
                      LoopSolver::flag_name(flag) + "; scaled residual " + number_text(worst) + " at " +
                      tear_text(L.plan.tears[worst_i]) + " (value " + number_text(x[worst_i]) + ", output " +
                      number_text(*L.tear_sources[worst_i]) + ")";
    if (!L.solver->last_message().empty()) msg += "; " + L.solver->last_message();
    if (!L.block_error.empty()) msg += "; last refusal by a block: " + L.block_error;
    throw LoopFailure(msg);
}

}  // namespace cyclesim
