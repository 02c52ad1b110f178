// What a rating reads off a cycle at its operating point, from the blocks
// by their kind: the evaporators' heat rates (capacity), the compressors'
// power and the enthalpy rise they give the refrigerant, the condensers'
// heat rates, and the energy balance that ties them together. With an
// isenthalpic valve and no other heat path, at steady state
//
//     Q_evaporator + m (h_discharge - h_suction) = Q_condenser,
//
// the compressor's heat loss to its surroundings being the difference
// between its power and the enthalpy rise.
#include "simulation_impl.h"

namespace cyclesim {

std::optional<SteadyPoint::Rating> Simulation::Impl::rate_cycle()
{
    SteadyPoint::Rating r;
    int evaporators = 0, compressors = 0, condensers = 0;
    for (std::size_t b = 0; b < blocks.size(); ++b) {
        SimBlock& block = *blocks[b];
        const auto kind = block.kind();
        if (kind == "S-function Evaporator") {
            auto y = block.output(0);
            r.capacity += y[4] + y[5];
            r.superheat = y[10];
            ++evaporators;
        } else if (kind == "S-function Compressor") {
            auto y = block.output(0);
            const int i = static_cast<int>(b);
            const double m = source_value(i, 0, 2), h_suction = source_value(i, 0, 3);
            r.power += y[2];
            r.compression_gain += m * (y[1] - h_suction);
            r.refrigerant_flow += m;
            r.suction_pressure = y[0];
            ++compressors;
        } else if (kind == "S-function Condenser") {
            auto y = block.output(0);
            r.heat_rejected += y[12] + y[13] + y[14];
            r.subcooling = y[2];
            r.condensing_pressure = block.cont_states()[condenser_ports::state_P];
            ++condensers;
        }
    }
    if (!evaporators || !compressors || !condensers) return std::nullopt;
    r.cop = r.power != 0.0 ? r.capacity / r.power : 0.0;
    r.energy_residual = r.heat_rejected != 0.0 ? (r.capacity + r.compression_gain - r.heat_rejected) / r.heat_rejected : 0.0;
    return r;
}

}  // namespace cyclesim
