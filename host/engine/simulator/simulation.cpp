// The simulator's entry points: the model built at construction, run() with
// every block terminated however the run ends, and what callers may read.
// The work itself is done in the files listed in simulation_impl.h.
#include "simulation_impl.h"

#include "errors.h"
#include "feedback_loops.h"

#include <exception>
#include <functional>

namespace cyclesim {

Simulation::Impl::Impl(ModelSpec m, PluginRegistry& registry) : model(std::move(m))
{
    build_blocks(registry);
    wire();
    resolve_signals();
    make_plan();
    t_now = model.solver.start_time;
}

void Simulation::Impl::run(RunObserver& observer)
{
    try {
        start_blocks(observer);
        integrate(observer);
    } catch (const TripError&) {
        // A protection acted: the plant is sound, nothing to explain.
        terminate_all();
        throw;
    } catch (const std::exception& e) {
        const std::string msg = explained_failure(e.what(), observer);
        terminate_all();
        throw SimulationError(msg);
    }
    for (auto& b : blocks) b->terminate();
}

void Simulation::Impl::guarded(const std::function<void()>& work)
{
    try {
        work();
    } catch (const TripError&) {
        end_cosimulation();
        terminate_all();
        throw;
    } catch (const std::exception& e) {
        const std::string msg = cosim_observer ? explained_failure(e.what(), *cosim_observer) : std::string(e.what());
        end_cosimulation();
        terminate_all();
        throw SimulationError(msg);
    }
}

std::string Simulation::Impl::explained_failure(const std::string& what, RunObserver& observer) noexcept
{
    std::string msg = what;
    try {
        const std::string extra = observer.explain_failure();
        if (!extra.empty()) msg += "; " + extra;
        const std::string origin = failure_origin(msg);
        if (!origin.empty()) msg += "; " + origin;
    } catch (...) {
        // The failure itself is what must be reported.
    }
    return msg;
}

void Simulation::Impl::terminate_all() noexcept
{
    for (auto& b : blocks) {
        try {
            b->terminate();
        } catch (...) {
            // The first failure is the one reported.
        }
    }
}

void Simulation::begin_cosimulation(RunObserver& observer, double stop_time)
{
    impl_->cosim_observer = &observer;
    impl_->guarded([&] { impl_->begin_cosimulation(observer, stop_time); });
}

void Simulation::advance_to(double t, bool inputs_changed)
{
    impl_->guarded([&] { impl_->advance_to(t, inputs_changed); });
}

void Simulation::end_cosimulation() noexcept
{
    impl_->end_cosimulation();
    impl_->terminate_all();
}

bool Simulation::set_constant(const std::string& block, int element, double value)
{
    const int b = impl_->block_index(block, "input");
    SimBlock& blk = *impl_->blocks[b];
    if (blk.kind() != "constant") throw SimulationError("input: block '" + block + "' is not a constant block");
    auto y = blk.output(0);
    if (element < 0 || element >= static_cast<int>(y.size()))
        throw SimulationError("input: constant block '" + block + "' has no element " + std::to_string(element));
    // A constant block's outputs callback leaves its output as it stands:
    // the value written here holds until the next one.
    const bool changed = !(y[element] == value);
    y[element] = value;
    return changed;
}

Simulation::Simulation(ModelSpec model, PluginRegistry& registry)
    : impl_(std::make_unique<Impl>(std::move(model), registry))
{
}

Simulation::~Simulation() = default;

void Simulation::run(RunObserver& observer) { impl_->run(observer); }
SteadyPoint Simulation::steady(RunObserver& observer) { return impl_->steady(observer); }
Simulation::StartState Simulation::start_state(RunObserver& observer) { return impl_->start_state(observer); }
std::vector<std::string> Simulation::start_notes() const { return impl_->start_notes; }
std::vector<std::string> Simulation::block_warnings() const
{
    std::vector<std::string> out;
    for (const auto& b : impl_->blocks)
        for (auto& w : b->warnings()) out.push_back(std::move(w));
    return out;
}
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
