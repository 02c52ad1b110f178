// Cost of a new question in the property library's core, with the fast path
// (grid-node starts for single-phase states, early acceptance of a converged
// Newton point, the saturation curve inverted from a start in ln p) and with
// the earlier iterations (fast starts off): the before/after of one flash.
//   NewEnthalpy      (P, H) flashes of superheated R134a vapour at a kept
//                    pressure, each enthalpy new (the evaporator's specific
//                    heat along its outlet search);
//   NewPressure      the same with the pressure new at every call as well
//                    (saturation and flash);
//   NewLiquid        subcooled liquid (P, H) at a kept pressure;
//   NewSaturation    saturation states at a new pressure;
//   NewEntropy       (P, S) flashes of superheated vapour (the compressor's
//                    isentropic discharge).
// Argument 1: fast starts on, 0: off.
#include <benchmark/benchmark.h>

#include "fluidprops/flash.h"
#include "fluidprops/fluids.h"

namespace {

using fluidprops::Fluid;

const Fluid& r134a() { return *fluidprops::find_fluid("R134a"); }

// Walks through 2^16 distinct values of a quantity around `centre`, within
// +-`spread` (relative), in small steps: every call a new question.
struct Walk {
    double centre, spread;
    unsigned k = 0;
    double next()
    {
        k = (k + 1) & 0xffffu;
        return centre * (1.0 + spread * (static_cast<double>(k) / 32768.0 - 1.0));
    }
};

void NewEnthalpy(benchmark::State& state)
{
    fluidprops::set_fast_starts_enabled(state.range(0) != 0);
    const Fluid& f = r134a();
    Walk h{4.05e5 * f.molar_mass(), 0.02};
    for (auto _ : state) benchmark::DoNotOptimize(fluidprops::flash_ph(f, 3e5, h.next()).T);
    fluidprops::set_fast_starts_enabled(true);
}

void NewPressure(benchmark::State& state)
{
    fluidprops::set_fast_starts_enabled(state.range(0) != 0);
    const Fluid& f = r134a();
    Walk h{4.05e5 * f.molar_mass(), 0.02}, p{3e5, 0.01};
    for (auto _ : state) benchmark::DoNotOptimize(fluidprops::flash_ph(f, p.next(), h.next()).T);
    fluidprops::set_fast_starts_enabled(true);
}

void NewLiquid(benchmark::State& state)
{
    fluidprops::set_fast_starts_enabled(state.range(0) != 0);
    const Fluid& f = r134a();
    Walk h{2.4e5 * f.molar_mass(), 0.02};
    for (auto _ : state) benchmark::DoNotOptimize(fluidprops::flash_ph(f, 1.2e6, h.next()).T);
    fluidprops::set_fast_starts_enabled(true);
}

void NewSaturation(benchmark::State& state)
{
    fluidprops::set_fast_starts_enabled(state.range(0) != 0);
    const Fluid& f = r134a();
    Walk p{3e5, 0.01};
    for (auto _ : state) benchmark::DoNotOptimize(fluidprops::flash_pq(f, p.next(), 1.0).T);
    fluidprops::set_fast_starts_enabled(true);
}

void NewEntropy(benchmark::State& state)
{
    fluidprops::set_fast_starts_enabled(state.range(0) != 0);
    const Fluid& f = r134a();
    Walk s{1.75e3 * f.molar_mass(), 0.01};
    for (auto _ : state) benchmark::DoNotOptimize(fluidprops::flash_ps(f, 1.2e6, s.next()).T);
    fluidprops::set_fast_starts_enabled(true);
}

BENCHMARK(NewEnthalpy)->Arg(0)->Arg(1);
BENCHMARK(NewPressure)->Arg(0)->Arg(1);
BENCHMARK(NewLiquid)->Arg(0)->Arg(1);
BENCHMARK(NewSaturation)->Arg(0)->Arg(1);
BENCHMARK(NewEntropy)->Arg(0)->Arg(1);

}  // namespace

BENCHMARK_MAIN();
