// The condenser's start state, from the unit's refrigerant charge.
//
// A condenser can only start where it condenses against the air entering it:
// with its saturation temperature at or below the air's, its two-phase zone
// would take heat in, and the superheated-length fit finds no zone boundary.
// A start state written into the dialog suits one ambient only. What a real
// unit carries from one ambient to the next is its charge, so the start is
// computed from it: condensing `approach` K above the air entering the
// condenser at the start time, the liquid `subcooling` K below that, and the
// subcooled length L3 at which the three zones hold the charge (found by
// regula falsi with the Illinois modification on the whole model's
// evaluation: every L3 tried is a full output evaluation, so the fitted
// superheated length and the zone enthalpies are the block's own at the
// flow and discharge enthalpy the rest of the cycle delivers).
#include "simulation_impl.h"

#include "errors.h"
#include "number_text.h"
#include "signal_text.h"

#include <cmath>
#include <cstdio>

namespace cyclesim {

namespace cp = condenser_ports;

namespace {

constexpr double kKelvin = 273.15;
// The least margin of the condensing temperature over the entering air with
// which a start is accepted: below it the superheated-length fit has (next
// to) no zone boundary to find.
constexpr double kLeastApproach = 1.0;

std::string celsius(double kelvin)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2f degC", kelvin - kKelvin);
    return buf;
}

std::string kg(double mass)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.6g kg", mass);
    return buf;
}

}  // namespace

void Simulation::Impl::find_condenser()
{
    const StartSpec& s = model.start;
    condenser = -1;
    if (!s.condenser.empty()) {
        condenser = block_index(s.condenser, model.file.string() + ": start.condenser");
        if (blocks[condenser]->kind() != "S-function Condenser")
            throw SimulationError(model.file.string() + ": start.condenser: block '" + s.condenser + "' is a " +
                                  blocks[condenser]->kind() + ", not a Condenser");
    } else {
        for (std::size_t b = 0; b < blocks.size(); ++b) {
            if (blocks[b]->kind() != "S-function Condenser") continue;
            if (condenser >= 0) {
                if (s.from == StartFrom::dialog || s.from == StartFrom::automatic) {
                    condenser = -1;  // several: the dialogs' own starts stand, unchecked
                    return;
                }
                throw SimulationError(model.file.string() + ": start: the model has more than one Condenser block; "
                                                            "name the one holding the charge in start.condenser");
            }
            condenser = static_cast<int>(b);
        }
    }
    if (condenser < 0) {
        if (s.from == StartFrom::charge || s.charge)
            throw SimulationError(model.file.string() +
                                  ": start: a start from the charge needs a Condenser block, and the model has none");
        return;
    }
    const BlockSpec* spec = model.find_block(blocks[condenser]->name());
    if (!spec) throw SimulationError("block '" + blocks[condenser]->name() + "' has no model file entry");
    condenser_dialog = read_condenser_dialog(*spec);
}

double Simulation::Impl::source_value(int b, int port, int element) const
{
    const ElementRef& src = sources[b][port][element];
    return blocks[src.block]->output(src.port)[src.element];
}

void Simulation::Impl::evaluate_before(int b, double t)
{
    for (const auto& item : plan.order) {
        if (item.block == b) return;
        if (item.block >= 0) {
            blocks[item.block]->outputs(t, true);
            continue;
        }
        for (int m : loops[item.loop].plan.members)
            if (m == b) return;
        solve_loop(loops[item.loop], t, true);
    }
}

double Simulation::Impl::condenser_charge_now(double t, bool major)
{
    if (auto msg = evaluate_outputs(t, major)) throw SimulationError("non-finite output: " + *msg);
    auto x = blocks[condenser]->cont_states();
    auto y = blocks[condenser]->output(0);
    CondenserZones z;
    z.P = x[cp::state_P];
    z.h3 = x[cp::state_h3];
    z.L3 = x[cp::state_L3];
    z.P_in = source_value(condenser, cp::in_refrigerant, cp::in_P_inlet);
    z.h1 = y[cp::out_h1];
    z.L1 = y[cp::out_L1_fitted];
    return condenser_charge(PropertyFunction(), *condenser_dialog, z);
}

// A dialog start state must condense against the air entering at the start
// time; one that cannot is refused here, before the run, with the values
// that would do.
bool Simulation::Impl::dialog_start_condenses(double t)
{
    evaluate_before(condenser, t);
    const double T_air = source_value(condenser, cp::in_secondary, cp::in_T_secondary);
    const double P = blocks[condenser]->cont_states()[cp::state_P];
    return PropertyFunction()("T", "P", P, "Q", 0.0, condenser_dialog->fluid) >= T_air + kLeastApproach;
}

void Simulation::Impl::check_condenser_start(double t)
{
    evaluate_before(condenser, t);
    const double T_air = source_value(condenser, cp::in_secondary, cp::in_T_secondary);
    const double P = blocks[condenser]->cont_states()[cp::state_P];
    const std::string& fluid = condenser_dialog->fluid;
    PropertyFunction props;
    const double T_cond = props("T", "P", P, "Q", 0.0, fluid);
    if (T_cond >= T_air + kLeastApproach) return;
    const double T_wanted = T_air + model.start.approach;
    const double P_wanted = props("P", "T", T_wanted, "Q", 0.0, fluid);
    const std::string name = blocks[condenser]->name();
    throw SimulationError(
        "block '" + name + "' (S-function Condenser) cannot start at t = " + time_text(t) +
        ": its initial state condenses at " + celsius(T_cond) + " (Condenser_P_inicial = " + number_text(P) +
        " Pa), not above the air entering it at " + celsius(T_air) +
        " by at least " + number_text(kLeastApproach) + " K, so it cannot reject heat. Start it from the unit's charge instead: --charge KG (or \"start\": "
        "{\"charge\": KG} in the model file) computes a start condensing " +
        number_text(model.start.approach) + " K above the air that holds that charge; or set " + name +
        ".4.Condenser_P_inicial to at least " + number_text(std::round(P_wanted)) + " Pa (condensing at " +
        celsius(T_wanted) + ") with Condenser_h3_inicial and Condenser_L3_inicial to match");
}

void Simulation::Impl::start_from_charge(double t)
{
    const std::string name = blocks[condenser]->name();
    const std::string where = "block '" + name + "' (S-function Condenser): start from the charge: ";
    if (condenser_dialog->mode != 1.0)
        throw SimulationError(where + "its dialog start is in mode " + number_text(condenser_dialog->mode) +
                              "; a start from the charge is a three-zone start (Condenser_mode 1)");
    const std::string& fluid = condenser_dialog->fluid;
    PropertyFunction props;

    // The charge to hold: the one given, else the one the dialog's state holds.
    double charge = 0.0;
    if (model.start.charge) {
        charge = *model.start.charge;
    } else {
        check_condenser_start(t);
        // The dialog's charge is the one its state holds as a run starts
        // from it (actuators at their start values), whichever start follows.
        const bool was_steady = steady_evaluation;
        set_steady_evaluation(false);
        try {
            charge = condenser_charge_now(t, true);
            set_steady_evaluation(was_steady);
        } catch (const SimulationError& e) {
            set_steady_evaluation(was_steady);
            throw SimulationError(where + "the dialog's start state, whose charge it would hold, cannot be "
                                          "evaluated (" + std::string(e.what()) + "); give the charge with --charge KG");
        }
        start_notes.push_back("charge " + kg(charge) + ": the one the dialog's start state of '" + name + "' holds");
    }

    evaluate_before(condenser, t);
    const double T_air = source_value(condenser, cp::in_secondary, cp::in_T_secondary);
    const double T_cond = T_air + model.start.approach;
    const double P = props("P", "T", T_cond, "Q", 0.0, fluid);
    const double h3 = props("H", "P", P, "T", T_cond - model.start.subcooling, fluid);
    auto x = blocks[condenser]->cont_states();
    x[cp::state_P] = P;
    x[cp::state_h3] = h3;
    // The loops start from the new state: a torn output of the condenser
    // that stands for its pressure or outlet enthalpy (its states, its
    // outlet pressure) would otherwise start from the dialog's values, at
    // which the rest of the cycle may not condense.
    for (auto& L : loops)
        for (std::size_t i = 0; i < L.plan.tears.size(); ++i) {
            const ElementRef& r = L.plan.tears[i];
            if (r.block != condenser) continue;
            std::optional<double> v;
            if (r.port == cp::out_states && (r.element == cp::state_P || r.element == cp::state_h3))
                v = x[r.element];
            else if (r.port == 0 && r.element == cp::out_P_outlet)
                v = P;
            else if (r.port == 0 && r.element == cp::out_h_liquid)
                v = h3;
            if (!v) continue;
            L.guesses[i] = *v;
            L.tear_values[i] = *v;
        }

    const std::string at = " condensing at " + celsius(T_cond) + " (" + number_text(model.start.approach) +
                           " K above the air entering at " + celsius(T_air) + ")";
    auto held = [&](double L3) {
        x[cp::state_L3] = L3;
        try {
            return condenser_charge_now(t, true) - charge;
        } catch (const SimulationError& e) {
            throw SimulationError(where + "the cycle cannot be evaluated" + at + " with L3 = " + number_text(L3) +
                                  ": " + e.what());
        }
    };
    // Bracket: the shortest subcooled zone the block keeps, and a tube all
    // but flooded (the fitted superheated zone and a twentieth for zone 2).
    double lo = condenser_dialog->L_min;
    double f_lo = held(lo);
    const double L1 = blocks[condenser]->output(0)[cp::out_L1_fitted];
    double hi = 0.95 - L1;
    if (f_lo > 0.0)
        throw SimulationError(where + "a charge of " + kg(charge) + " leaves no liquid" + at +
                              ": the superheated and two-phase zones alone hold " + kg(f_lo + charge) +
                              "; raise the charge above that, or raise start.approach");
    if (!(hi > lo)) throw SimulationError(where + "the superheated zone fills the tube" + at);
    double f_hi = held(hi);
    if (f_hi < 0.0)
        throw SimulationError(where + "a charge of " + kg(charge) + " floods the condenser" + at +
                              ": the tube holds at most " + kg(f_hi + charge) +
                              " with its zones in place; lower the charge, or lower start.approach");
    double L3 = lo;
    int side = 0;
    for (int i = 0; i < 100; ++i) {
        L3 = (lo * f_hi - hi * f_lo) / (f_hi - f_lo);
        const double f = held(L3);
        if (std::fabs(f) <= 1e-12 * charge) break;
        if ((f > 0.0) == (f_hi > 0.0)) {
            hi = L3, f_hi = f;
            if (side == 1) f_lo *= 0.5;  // Illinois: the stale end's weight halves
            side = 1;
        } else {
            lo = L3, f_lo = f;
            if (side == -1) f_hi *= 0.5;
            side = -1;
        }
        if (hi - lo <= 1e-14) break;
    }
    held(L3);  // the states and outputs at the solution
    // The state L1 starts the block's fit: start it at the fitted length.
    x[cp::state_L1] = blocks[condenser]->output(0)[cp::out_L1_fitted];
    charge_target = charge;
    char line[400];
    std::snprintf(line, sizeof line,
                  "start of '%s' from a charge of %.6g kg: P = %.9g Pa (condensing at %.2f degC, air in at %.2f degC), "
                  "h3 = %.9g J/kg, L3 = %.9g, L1 = %.9g",
                  name.c_str(), charge, P, T_cond - kKelvin, T_air - kKelvin, h3, L3, x[cp::state_L1]);
    start_notes.push_back(line);
}

void Simulation::Impl::start_blocks(RunObserver& observer)
{
    for (auto& b : blocks) b->start();
    find_condenser();
    const double t = model.solver.start_time;
    // A start towards the steady point sees the plant as the steady solve
    // does (a rate limiter at its input), so that a run from the steady
    // point and `cyclesim steady` take the same charge and the same point.
    const bool to_steady = model.start.from == StartFrom::steady;
    if (to_steady) set_steady_evaluation(true);
    if (condenser >= 0) {
        const StartFrom from = model.start.from;
        if (from == StartFrom::dialog || (from == StartFrom::automatic && !model.start.charge)) {
            check_condenser_start(t);
        } else if (from == StartFrom::automatic && dialog_start_condenses(t)) {
            start_notes.push_back("the dialog's start state of '" + blocks[condenser]->name() +
                                  "' condenses against the air: started from it");
        } else {
            start_from_charge(t);
        }
    }
    if (to_steady) {
        SteadyPoint p = solve_steady(observer);
        if (!p.solved) throw SimulationError("no steady state to start from: " + p.reason);
        start_notes.push_back("started at the steady state of the initial conditions (largest scaled derivative " +
                              number_text(p.worst_scaled_derivative) + " 1/s)");
    }
}

StartState Simulation::Impl::start_state(RunObserver& observer)
{
    StartState out;
    try {
        // The start from the charge unless the command line asked for another.
        if (!model.start.from_given) model.start.from = StartFrom::charge;
        start_blocks(observer);
        if (condenser >= 0) {
            const double t = model.solver.start_time;
            out.condenser = blocks[condenser]->name();
            out.charge = charge_target ? *charge_target : condenser_charge_now(t, true);
            auto x = blocks[condenser]->cont_states();
            out.dialog_values = {{"Condenser_L1_inicial", x[cp::state_L1]},
                                 {"Condenser_P_inicial", x[cp::state_P]},
                                 {"Condenser_h3_inicial", x[cp::state_h3]},
                                 {"Condenser_L3_inicial", x[cp::state_L3]}};
        }
    } catch (...) {
        for (auto& b : blocks) {
            try {
                b->terminate();
            } catch (...) {
            }
        }
        throw;
    }
    for (auto& b : blocks) b->terminate();
    return out;
}

}  // namespace cyclesim
