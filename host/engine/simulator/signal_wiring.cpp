// Wiring: the blocks built from the model file, every input element connected
// to the output element it reads, and the logged signals and loop starting
// values resolved to output elements. Names are looked up with a clear error,
// so a model that was not checked first cannot index a block that is not there.
#include "simulation_impl.h"
#include "block_output_names.h"

#include "builtin_blocks.h"
#include "errors.h"
#include "signal_text.h"

#include <algorithm>
#include <set>

namespace cyclesim {

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
    for (auto& b : blocks) {
        for (double t : b->breakpoints())
            if (t > model.solver.start_time && t < model.solver.stop_time) breakpoints.push_back(t);
        for (double t : b->jumps())
            if (t > model.solver.start_time && t < model.solver.stop_time) jump_times.push_back(t);
    }
    for (auto* times : {&breakpoints, &jump_times}) {
        std::sort(times->begin(), times->end());
        times->erase(std::unique(times->begin(), times->end()), times->end());
    }
}

int Simulation::Impl::block_index(const std::string& name, const std::string& where) const
{
    const int b = block_index_or_none(name);
    if (b < 0) throw SimulationError(where + ": there is no block named '" + name + "'");
    return b;
}

int Simulation::Impl::block_index_or_none(const std::string& name) const
{
    // Built on first use, once the blocks exist: a model of a hundred
    // thousand blocks looks up every connection's ends by name.
    if (index_by_name.size() != blocks.size()) {
        index_by_name.clear();
        for (std::size_t i = 0; i < blocks.size(); ++i) index_by_name.emplace(blocks[i]->name(), static_cast<int>(i));
    }
    const auto it = index_by_name.find(name);
    return it == index_by_name.end() ? -1 : it->second;
}

void Simulation::Impl::wire()
{
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
        const int from = block_index(c.from.block, c.where), to = block_index(c.to.block, c.where);
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
                throw SimulationError(c.where + ": " + element_text(dst, PortSide::input, c.to.port, ei) +
                                      " is already connected (by " +
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
                    throw SimulationError(model.file.string() + ": " +
                                          element_text(*blocks[b], PortSide::input, p, e, true) + " is not connected");
                blocks[b]->connect_input(p, e, &blocks[s.block]->output(s.port)[s.element]);
            }
}

void Simulation::Impl::resolve_signals()
{
    auto resolve = [&](const SignalSpec& signal, const std::string& where) {
        const int b = block_index(signal.block, where);
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
    for (const auto& o : model.interface.outputs) resolve(SignalSpec::parse(o.signal, o.where), o.where + ".signal");

    // Each input told what feeds it, by its logged name where it has one.
    for (std::size_t b = 0; b < blocks.size(); ++b)
        for (int p = 0; p < blocks[b]->num_inputs(); ++p)
            for (int e = 0; e < blocks[b]->input_width(p); ++e) {
                const ElementRef& s = sources[b][p][e];
                std::string text = element_text(*blocks[s.block], PortSide::output, s.port, s.element);
                for (std::size_t i = 0; i < model.log.size(); ++i)
                    if (logged[i] == &blocks[s.block]->output(s.port)[s.element]) {
                        text = model.log[i].name + " (" + text + ")";
                        break;
                    }
                blocks[b]->name_input(p, e, text);
                const std::string unit = signal_unit(s);
                if (!unit.empty()) blocks[b]->input_unit(p, e, unit);
            }
}

std::string Simulation::Impl::signal_unit(const ElementRef& source) const
{
    // Blocks that hand on the quantity they receive, in its unit: sensor
    // lags, limiters, selectors, a memory.
    static const std::set<std::string> pass_through = {"first_order", "rate_limiter", "saturation",
                                                       "memory",      "min",          "max"};
    ElementRef s = source;
    for (int depth = 0; depth < 32; ++depth) {
        const double* value = &blocks[s.block]->output(s.port)[s.element];
        for (std::size_t i = 0; i < model.log.size(); ++i)
            if (logged[i] == value && !model.log[i].unit.empty()) return model.log[i].unit;
        SimBlock& blk = *blocks[s.block];
        const std::string kind = blk.kind();
        const std::string sfunction_prefix = "S-function ";
        if (kind.rfind(sfunction_prefix, 0) == 0) {
            const auto& names = block_output_names(kind.substr(sfunction_prefix.size()));
            if (s.port < static_cast<int>(names.size()) && s.element < static_cast<int>(names[s.port].size()))
                return names[s.port][s.element].unit;
            return "";
        }
        if (!pass_through.count(kind) || s.port != 0 || blk.num_inputs() == 0) return "";
        // The selectors take their inputs on separate ports, all in one unit.
        if (s.element >= blk.input_width(0)) return "";
        s = sources[s.block][0][s.element];
    }
    return "";
}

}  // namespace cyclesim
