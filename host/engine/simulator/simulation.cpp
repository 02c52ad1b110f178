#include "simulation.h"

#include "builtin_blocks.h"
#include "errors.h"
#include "execution_plan.h"
#include "feedback_loops.h"
#include "loop_solver.h"
#include "number_text.h"
#include "sim_block.h"
#include "sundials_context.h"

#include <cvode/cvode.h>
#include <cvode/cvode_ls.h>
#include <nvector/nvector_serial.h>
#include <sunlinsol/sunlinsol_dense.h>
#include <sunmatrix/sunmatrix_dense.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <functional>
#include <optional>

namespace cyclesim {

namespace {

std::string fmt_value(double v)
{
    if (std::isnan(v)) return "NaN";
    if (std::isinf(v)) return v > 0 ? "+Inf" : "-Inf";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.9g", v);
    return buf;
}

// Relative step of the loop Jacobian's differences (see loop_solver.h).
constexpr double kLoopDifferenceStep = 3e-4;
// Relative step of the integrator's difference Jacobian (same reasoning).
constexpr double kStateDifferenceStep = 3e-4;
// A loop solve whose scaled residual is within this factor of the tolerance
// is accepted even when Newton stopped on a small step: the blocks' own inner
// solvers leave noise of about that size.
constexpr double kLoopAcceptFactor = 100.0;

// An algebraic loop that could not be solved. In a minor step the integrator
// may retry with a smaller step; at a major step it ends the run.
class LoopFailure : public SimulationError {
public:
    using SimulationError::SimulationError;
};

struct LoopRuntime {
    LoopPlan plan;
    std::vector<double> tear_values;           // what the torn inputs read
    std::vector<const double*> tear_sources;   // the outputs the tear variables stand for
    std::vector<double> max_seen;              // largest magnitude seen per tear variable
    std::vector<std::optional<double>> guesses;  // starting values from the model file
    std::string block_error;                   // a block's refusal during the latest solve
    // The latest residual evaluation: its point, residual and status.
    std::vector<double> last_x, last_f;
    int last_status = -1;
    std::unique_ptr<LoopSolver> solver;
    bool primed = false;
};

}  // namespace

struct Simulation::Impl {
    SundialsContext sundials;  // first in, last out: solvers below use it
    ModelSpec model;
    std::vector<std::unique_ptr<SimBlock>> blocks;
    // For each block, port and element: the output element it reads.
    std::vector<std::vector<std::vector<ElementRef>>> sources;
    ExecutionPlan plan;
    std::vector<LoopRuntime> loops;
    std::vector<const double*> logged;
    std::vector<int> state_offset;  // per block, into the global state vector
    int n_states = 0;
    std::vector<double> breakpoints;

    RunStatistics stats;
    double t_now = 0.0;

    // Failures inside solver callbacks are kept here and raised once the
    // solver has returned.
    std::exception_ptr pending_error;
    std::string last_nonfinite;       // latest minor-step trouble (non-finite value, unsolved loop)
    std::string integrator_message;

    Impl(ModelSpec m, PluginRegistry& registry);

    std::string signal_name(const ElementRef& r, bool input) const
    {
        return "block '" + blocks[r.block]->name() + "' " + (input ? "input" : "output") + " port " +
               std::to_string(r.port) + " element " + std::to_string(r.element);
    }

    void build_blocks(PluginRegistry& registry);
    void wire();
    void make_plan();
    void resolve_signals();
    std::vector<std::pair<ElementRef, double>> guesses;

    // --- evaluation -----------------------------------------------------
    void scatter_states(const double* y)
    {
        for (std::size_t b = 0; b < blocks.size(); ++b) {
            auto x = blocks[b]->cont_states();
            std::copy(y + state_offset[b], y + state_offset[b] + x.size(), x.begin());
        }
    }
    void gather_states(double* y)
    {
        for (std::size_t b = 0; b < blocks.size(); ++b) {
            auto x = blocks[b]->cont_states();
            std::copy(x.begin(), x.end(), y + state_offset[b]);
        }
    }
    void gather_derivatives(double* dy)
    {
        for (std::size_t b = 0; b < blocks.size(); ++b) {
            auto d = blocks[b]->derivatives_vector();
            std::copy(d.begin(), d.end(), dy + state_offset[b]);
        }
    }

    std::optional<std::string> nonfinite_output(int b, double t)
    {
        for (int p = 0; p < blocks[b]->num_outputs(); ++p) {
            auto y = blocks[b]->output(p);
            for (std::size_t e = 0; e < y.size(); ++e)
                if (!std::isfinite(y[e]))
                    return "block '" + blocks[b]->name() + "' (" + blocks[b]->kind() + ") output port " +
                           std::to_string(p) + " element " + std::to_string(e) + " is " + fmt_value(y[e]) +
                           " at t = " + time_text(t);
        }
        return std::nullopt;
    }
    std::optional<std::string> nonfinite_derivative(double t)
    {
        for (std::size_t b = 0; b < blocks.size(); ++b) {
            auto d = blocks[b]->derivatives_vector();
            for (std::size_t e = 0; e < d.size(); ++e)
                if (!std::isfinite(d[e]))
                    return "block '" + blocks[b]->name() + "' (" + blocks[b]->kind() + ") derivative of state " +
                           std::to_string(e) + " is " + fmt_value(d[e]) + " at t = " + time_text(t);
        }
        return std::nullopt;
    }

    // Outputs of every block in dependency order. Returns a message for the
    // first non-finite output (the evaluation stops there).
    std::optional<std::string> evaluate_outputs(double t, bool major)
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

    // Residual of a loop at x. Inside Newton iterations (`trial`), a block that
    // refuses a trial point (error status) makes the point unusable, like a
    // non-finite value, and Newton backs off; elsewhere the refusal is final.
    int loop_residual(LoopRuntime& L, const double* x, double* f, double t, bool major, bool trial = false)
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

    std::string describe_loop(const LoopRuntime& L) const
    {
        std::string s = "algebraic loop through ";
        for (std::size_t i = 0; i < L.plan.members.size(); ++i)
            s += (i ? ", '" : "'") + blocks[L.plan.members[i]]->name() + "'";
        s += " (tear signals ";
        for (std::size_t i = 0; i < L.plan.tears.size(); ++i) {
            const auto& r = L.plan.tears[i];
            s += (i ? ", " : "") + blocks[r.block]->name() + "." + std::to_string(r.port) + "." +
                 std::to_string(r.element);
        }
        return s + ")";
    }

    void solve_loop(LoopRuntime& L, double t, bool major)
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
            if ((flag >= 0 && worst <= kLoopAcceptFactor * tol) || worst <= tol) return;
        }
        const auto& r = L.plan.tears[worst_i];
        std::string msg = describe_loop(L) + " could not be solved at t = " + time_text(t) + ": " +
                          LoopSolver::flag_name(flag) + "; scaled residual " + fmt_value(worst) + " at " +
                          blocks[r.block]->name() + "." + std::to_string(r.port) + "." + std::to_string(r.element) +
                          " (value " + fmt_value(x[worst_i]) + ", output " + fmt_value(*L.tear_sources[worst_i]) +
                          ")";
        if (!L.solver->last_message().empty()) msg += "; " + L.solver->last_message();
        if (!L.block_error.empty()) msg += "; last refusal by a block: " + L.block_error;
        throw LoopFailure(msg);
    }

    // Right-hand side for CVODE: a minor step.
    int rhs(double t, const double* y, double* dy)
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
    int jacobian(double t, const double* y, const double* fy, double* const* columns, int n, double* ytmp,
                 double* ftmp)
    {
        const double floor = model.solver.atol / model.solver.rtol;
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

    // One major step at t from the integrator's states y (updated in place
    // when a block changes its states). Returns whether the integrator must
    // restart.
    bool major_step(double t, double* y, bool log_now, RunObserver& observer)
    {
        t_now = t;
        ++stats.major_steps;
        scatter_states(y);
        std::vector<std::vector<double>> disc_before;
        for (auto& b : blocks) disc_before.emplace_back(b->disc_states().begin(), b->disc_states().end());

        if (auto msg = evaluate_outputs(t, true)) throw SimulationError("non-finite output: " + *msg);
        if (log_now) {
            std::vector<double> row;
            row.reserve(logged.size());
            for (const double* p : logged) row.push_back(*p);
            observer.on_log(t, row);
            ++stats.logged_rows;
        }
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
                                              " to " + fmt_value(x[i]) + " at t = " + time_text(t));
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

    void integrate(RunObserver& observer);
    void run(RunObserver& observer);
};

Simulation::Impl::Impl(ModelSpec m, PluginRegistry& registry) : model(std::move(m))
{
    build_blocks(registry);
    wire();
    resolve_signals();
    make_plan();
    t_now = model.solver.start_time;
}

void Simulation::Impl::build_blocks(PluginRegistry& registry)
{
    const auto model_dir = model.file.has_parent_path() ? model.file.parent_path() : std::filesystem::path(".");
    for (const auto& spec : model.blocks) {
        if (spec.type == "sfunction") {
            const std::string sfunction = spec.settings["sfunction"].get<std::string>();
            std::shared_ptr<Plugin> plugin;
            try {
                plugin = registry.load(sfunction);
            } catch (const SimulationError& e) {
                throw SimulationError(spec.where + ": " + e.what());
            }
            auto params = dialog_from_json(spec.settings["params"], spec.where);
            blocks.push_back(std::make_unique<SFunctionBlock>(plugin, spec.name, std::move(params)));
        } else {
            blocks.push_back(make_builtin_block(spec, model_dir));
        }
        blocks.back()->setup();
    }
    int offset = 0;
    for (auto& b : blocks) {
        state_offset.push_back(offset);
        offset += static_cast<int>(b->cont_states().size());
    }
    n_states = offset;
    for (auto& b : blocks)
        for (double t : b->breakpoints())
            if (t > model.solver.start_time && t < model.solver.stop_time) breakpoints.push_back(t);
    std::sort(breakpoints.begin(), breakpoints.end());
    breakpoints.erase(std::unique(breakpoints.begin(), breakpoints.end()), breakpoints.end());
}

void Simulation::Impl::wire()
{
    auto index_of = [&](const std::string& name) {
        for (std::size_t i = 0; i < blocks.size(); ++i)
            if (blocks[i]->name() == name) return static_cast<int>(i);
        return -1;
    };
    const ElementRef unset{-1, -1, -1};
    sources.resize(blocks.size());
    std::vector<std::vector<std::vector<std::string>>> by_whom(blocks.size());
    for (std::size_t b = 0; b < blocks.size(); ++b) {
        for (int p = 0; p < blocks[b]->num_inputs(); ++p) {
            sources[b].emplace_back(static_cast<std::size_t>(blocks[b]->input_width(p)), unset);
            by_whom[b].emplace_back(static_cast<std::size_t>(blocks[b]->input_width(p)));
        }
    }

    for (const auto& c : model.connections) {
        int from = index_of(c.from.block), to = index_of(c.to.block);
        SimBlock& src = *blocks[from];
        SimBlock& dst = *blocks[to];
        if (c.from.port >= src.num_outputs())
            throw SimulationError(c.where + ": block '" + src.name() + "' (" + src.kind() + ") has " +
                                  std::to_string(src.num_outputs()) + " output ports; there is no port " +
                                  std::to_string(c.from.port));
        if (c.to.port >= dst.num_inputs())
            throw SimulationError(c.where + ": block '" + dst.name() + "' (" + dst.kind() + ") has " +
                                  std::to_string(dst.num_inputs()) + " input ports; there is no port " +
                                  std::to_string(c.to.port));
        const int wout = static_cast<int>(src.output(c.from.port).size());
        const int win = dst.input_width(c.to.port);
        std::vector<std::pair<int, int>> pairs;  // (output element, input element)
        if ((c.from.element < 0) != (c.to.element < 0))
            throw SimulationError(c.where + ": connect a whole port to a whole port, or one element to one element");
        if (c.from.element < 0) {
            if (wout != win)
                throw SimulationError(c.where + ": width mismatch: block '" + src.name() + "' output port " +
                                      std::to_string(c.from.port) + " has width " + std::to_string(wout) +
                                      ", block '" + dst.name() + "' input port " + std::to_string(c.to.port) +
                                      " has width " + std::to_string(win));
            for (int e = 0; e < win; ++e) pairs.emplace_back(e, e);
        } else {
            if (c.from.element >= wout)
                throw SimulationError(c.where + ": block '" + src.name() + "' output port " +
                                      std::to_string(c.from.port) + " has width " + std::to_string(wout) +
                                      "; there is no element " + std::to_string(c.from.element));
            if (c.to.element >= win)
                throw SimulationError(c.where + ": block '" + dst.name() + "' input port " +
                                      std::to_string(c.to.port) + " has width " + std::to_string(win) +
                                      "; there is no element " + std::to_string(c.to.element));
            pairs.emplace_back(c.from.element, c.to.element);
        }
        for (auto [eo, ei] : pairs) {
            auto& slot = sources[to][c.to.port][ei];
            if (slot.block >= 0)
                throw SimulationError(c.where + ": block '" + dst.name() + "' input port " + std::to_string(c.to.port) +
                                      " element " + std::to_string(ei) + " is already connected (by " +
                                      by_whom[to][c.to.port][ei] + ")");
            slot = ElementRef{from, c.from.port, eo};
            by_whom[to][c.to.port][ei] = c.where.substr(c.where.rfind(' ') + 1);
        }
    }

    for (std::size_t b = 0; b < blocks.size(); ++b)
        for (int p = 0; p < blocks[b]->num_inputs(); ++p)
            for (int e = 0; e < blocks[b]->input_width(p); ++e) {
                const auto& s = sources[b][p][e];
                if (s.block < 0)
                    throw SimulationError(model.file.string() + ": block '" + blocks[b]->name() + "' (" +
                                          blocks[b]->kind() + ") input port " + std::to_string(p) + " element " +
                                          std::to_string(e) + " is not connected");
                blocks[b]->connect_input(p, e, &blocks[s.block]->output(s.port)[s.element]);
            }
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

void Simulation::Impl::resolve_signals()
{
    auto resolve = [&](const SignalSpec& signal, const std::string& where) {
        int b = -1;
        for (std::size_t i = 0; i < blocks.size(); ++i)
            if (blocks[i]->name() == signal.block) b = static_cast<int>(i);
        SimBlock& blk = *blocks[b];
        if (signal.port >= blk.num_outputs())
            throw SimulationError(where + ": block '" + blk.name() + "' has " + std::to_string(blk.num_outputs()) +
                                  " output ports; there is no port " + std::to_string(signal.port));
        auto y = blk.output(signal.port);
        if (signal.element >= static_cast<int>(y.size()))
            throw SimulationError(where + ": block '" + blk.name() + "' output port " + std::to_string(signal.port) +
                                  " has width " + std::to_string(y.size()) + "; there is no element " +
                                  std::to_string(signal.element));
        return ElementRef{b, signal.port, signal.element};
    };
    for (const auto& l : model.log) {
        ElementRef r = resolve(l.signal, l.where);
        logged.push_back(&blocks[r.block]->output(r.port)[r.element]);
    }
    for (const auto& g : model.loop_guesses) guesses.emplace_back(resolve(g.signal, g.where), g.value);
}

namespace {

// CVODE glue.
struct CvodeRun {
    Simulation::Impl* sim;
    void* mem = nullptr;
    N_Vector y = nullptr;
    SUNMatrix A = nullptr;
    SUNLinearSolver LS = nullptr;

    ~CvodeRun()
    {
        if (mem) CVodeFree(&mem);
        if (LS) SUNLinSolFree(LS);
        if (A) SUNMatDestroy(A);
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
        long v = 0;
        if (CVodeGetNumSteps(cv.mem, &v) == CV_SUCCESS) stats.integrator_steps += v;
        if (CVodeGetNumErrTestFails(cv.mem, &v) == CV_SUCCESS) stats.error_test_failures += v;
        if (CVodeGetNumNonlinSolvIters(cv.mem, &v) == CV_SUCCESS) stats.nonlinear_iterations += v;
        if (CVodeGetNumNonlinSolvConvFails(cv.mem, &v) == CV_SUCCESS) stats.nonlinear_convergence_failures += v;
        if (CVodeGetNumJacEvals(cv.mem, &v) == CV_SUCCESS) stats.jacobian_evaluations += v;
        double h = 0;
        if (CVodeGetLastStep(cv.mem, &h) == CV_SUCCESS && h > 0) stats.last_step_size = h;
    };

    struct CollectAtExit {
        std::function<void()> f;
        ~CollectAtExit() { f(); }
    } collect_at_exit{collect};

    // Output times are start + k * interval, counted, not accumulated.
    const double eps = 1e-12 * std::max({1.0, std::fabs(s.start_time), std::fabs(s.stop_time)});
    long next_output = 1;
    auto output_time = [&](long k) {
        return s.output_interval > 0 ? std::min(s.start_time + static_cast<double>(k) * s.output_interval, s.stop_time)
                                     : s.stop_time;
    };
    std::size_t next_break = 0;
    int tiny_steps = 0;

    while (t < s.stop_time - eps && !observer.stop_requested()) {
        while (s.output_interval > 0 && output_time(next_output) <= t + eps) ++next_output;
        while (next_break < breakpoints.size() && breakpoints[next_break] <= t + eps) ++next_break;
        double target = output_time(next_output);
        if (next_break < breakpoints.size()) target = std::min(target, breakpoints[next_break]);
        check_sundials(CVodeSetStopTime(cv.mem, target), "CVodeSetStopTime");

        integrator_message.clear();
        pending_error = nullptr;
        double tret = t;
        int flag = CVode(cv.mem, target, cv.y, &tret, CV_ONE_STEP);
        if (pending_error) std::rethrow_exception(pending_error);
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
        CVodeGetLastStep(cv.mem, &h);
        if (std::fabs(h) <= 1e-13 * std::max(1.0, std::fabs(tret))) {
            if (++tiny_steps >= 20) {
                std::string msg = "integrator step size collapsed to " + fmt_value(h) + " at t = " + time_text(tret);
                if (!last_nonfinite.empty()) msg = last_nonfinite + "; " + msg;
                throw SimulationError(msg);
            }
        } else {
            tiny_steps = 0;
        }
        const bool at_target = flag == CV_TSTOP_RETURN || std::fabs(tret - target) <= eps;
        t = at_target ? target : tret;
        const bool at_output = at_target && (s.output_interval > 0 ? std::fabs(target - output_time(next_output)) <= eps
                                                                   : std::fabs(target - s.stop_time) <= eps);
        const bool at_break = at_target && next_break < breakpoints.size() &&
                              std::fabs(target - breakpoints[next_break]) <= eps;
        const bool log_now = s.output_interval > 0 ? at_output : true;
        bool changed = major_step(t, y, log_now, observer);
        if (changed || at_break) {
            collect();
            check_sundials(CVodeReInit(cv.mem, t, cv.y), "CVodeReInit");
            ++stats.restarts;
        }
        observer.on_progress(t, stats);
    }
}

void Simulation::Impl::run(RunObserver& observer)
{
    try {
        for (auto& b : blocks) b->start();
        integrate(observer);
    } catch (const std::exception& e) {
        std::string msg = e.what();
        std::string extra;
        try {
            extra = observer.explain_failure();
        } catch (...) {
        }
        if (!extra.empty()) msg += "; " + extra;
        for (auto& b : blocks) {
            try {
                b->terminate();
            } catch (...) {
                // The first failure is the one reported.
            }
        }
        throw SimulationError(msg);
    }
    for (auto& b : blocks) b->terminate();
}

Simulation::Simulation(ModelSpec model, PluginRegistry& registry)
    : impl_(std::make_unique<Impl>(std::move(model), registry))
{
}

Simulation::~Simulation() = default;

void Simulation::run(RunObserver& observer) { impl_->run(observer); }
const ModelSpec& Simulation::model() const { return impl_->model; }
const RunStatistics& Simulation::statistics() const { return impl_->stats; }
double Simulation::time() const { return impl_->t_now; }
int Simulation::num_states() const { return impl_->n_states; }

std::vector<std::string> Simulation::loops() const
{
    std::vector<std::string> out;
    for (const auto& L : impl_->loops) out.push_back(impl_->describe_loop(L));
    return out;
}

std::vector<std::string> Simulation::feedback_loops() const
{
    const auto& blocks = impl_->blocks;
    std::vector<WireEdge> edges;
    for (std::size_t b = 0; b < blocks.size(); ++b)
        for (int p = 0; p < blocks[b]->num_inputs(); ++p)
            for (const auto& src : impl_->sources[b][p])
                edges.push_back({src.block, static_cast<int>(b), blocks[b]->direct_feedthrough(p)});
    auto quoted = [&](int b) { return "'" + blocks[b]->name() + "'"; };
    std::vector<std::string> out;
    for (const auto& loop : find_feedback_loops(static_cast<int>(blocks.size()), edges)) {
        if (loop.breakers.empty()) continue;  // an algebraic loop, listed by loops()
        std::string s = "feedback loop through ";
        for (std::size_t i = 0; i < loop.members.size(); ++i) s += (i ? ", " : "") + quoted(loop.members[i]);
        s += ": not an algebraic loop, broken by ";
        for (std::size_t i = 0; i < loop.breakers.size(); ++i)
            s += (i ? ", " : "") + quoted(loop.breakers[i]) + " (" + blocks[loop.breakers[i]]->kind() + ")";
        out.push_back(s + " (no direct feedthrough)");
    }
    return out;
}

std::vector<std::string> Simulation::log_names() const
{
    std::vector<std::string> out;
    for (const auto& l : impl_->model.log) out.push_back(l.name);
    return out;
}

std::vector<std::string> Simulation::log_units() const
{
    std::vector<std::string> out;
    for (const auto& l : impl_->model.log) out.push_back(l.unit);
    return out;
}

}  // namespace cyclesim
