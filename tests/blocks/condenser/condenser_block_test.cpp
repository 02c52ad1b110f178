// The Condenser plug-in through the host: registration, initial conditions,
// the callbacks, refused parameters, several instances in one process, and
// the reference operating points with the real property library.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <memory>
#include <tuple>

#include "block_instance.h"
#include "contract_checks.h"
#include "errors.h"
#include "evaluate.h"
#include "simulation_error.h"
#include "test_workdir.h"

using namespace cyclesim;
using nlohmann::json;

namespace {

json dialog(double mode = 1.0, const std::string& tipo = "CRO_UNMIX_MIX_1")
{
    return json::array(
        {{{"N_pasos", 4}, {"N_tubos", 10}, {"L_tubos", 0.5}, {"D_tubos", 0.0095}, {"kperd", 0.0},
          {"alfa1", 100.0}, {"alfa2", 200.0}, {"alfa3", 50.0}, {"tipo_intercambiador", tipo}},
         "Analytic",
         "Air",
         {{"Condenser_L1_inicial", 0.1}, {"Condenser_P_inicial", 1.19e6}, {"Condenser_h3_inicial", 210000},
          {"Condenser_L3_inicial", 0.1}, {"Condenser_gamma_inicial", mode == 2.0 ? 0.97 : 0.85},
          {"Condenser_mode", mode}},
         {{"Lmin", 0.02}, {"Lmin_gamma", 0.05}, {"Kh", 0.5}, {"Kgamma", 0.0}}});
}

// One initialised condenser with its inputs wired to values the test owns.
struct Block {
    PluginRegistry reg{testsupport::blocks_dir()};
    double u[4] = {0.0056, 0.0056, 440000, 1.2e6}, w[3] = {300, 0.25, 1e5};
    std::unique_ptr<BlockInstance> b;
    explicit Block(const json& params, const std::string& name = "cond")
    {
        b = std::make_unique<BlockInstance>(reg.load("Condenser"), name, dialog_from_json(params, name));
        b->initialize_sizes();
        for (int e = 0; e < 4; ++e) b->connect_input(0, e, &u[e]);
        for (int e = 0; e < 3; ++e) b->connect_input(1, e, &w[e]);
        b->initialize_sample_times();
        b->start();
        b->initialize_conditions();
    }
    BlockInstance* operator->() { return b.get(); }
    std::vector<double> step()  // one output and one derivative evaluation
    {
        b->outputs(0, true);
        b->derivatives(0, true);
        std::vector<double> r(b->output(0).begin(), b->output(0).end());
        r.insert(r.end(), b->derivatives_vector().begin(), b->derivatives_vector().end());
        return r;
    }
};

std::string failure(const json& params)
{
    return testsupport::simulation_error_of([&] { Block(params).step(); });
}

}  // namespace

TEST(CondenserBlock, RegistrationAndInitialConditions)
{
    testsupport::ScopedWorkdir wd(testsupport::analytic_library());
    Block blk(dialog(2.0));
    ASSERT_EQ(blk->num_outputs(), 4);
    ASSERT_EQ(blk->rwork().size(), 70u);
    EXPECT_EQ(std::vector<int>({blk->input_width(0), blk->input_width(1), blk->output_width(0), blk->output_width(1),
                                blk->output_width(2), blk->output_width(3)}),
              std::vector<int>({4, 3, 21, 5, 5, 1}));

    const std::vector<double> x0{0.1, 1.19e6, 210000, 0.1, 0.97};
    EXPECT_EQ(std::vector<double>(blk->cont_states().begin(), blk->cont_states().end()), x0);
    EXPECT_EQ(std::vector<double>(blk->rwork().begin(), blk->rwork().begin() + 5), x0);
    EXPECT_EQ(blk->disc_states()[0], 2.0);
    EXPECT_EQ(blk->output(3)[0], 2.0);
    for (int p = 0; p < 3; ++p)
        for (double v : blk->output(p)) EXPECT_EQ(v, 0.0) << "port " << p;
    const std::vector<double> seeds{250000, 303.15, 0.5, 1200, 323.15, 0.84, 333.15, 328.15, 325.15,
                                    430000, 425000, 0.6,  300,  700,    3,    300,  700,  0};
    EXPECT_EQ(std::vector<double>(blk->rwork().begin() + 10, blk->rwork().begin() + 28), seeds);
    EXPECT_EQ(std::vector<double>(blk->rwork().begin() + 50, blk->rwork().begin() + 54),
              std::vector<double>({0.0056, 0.0056, 430000, 1740000}));
    for (int k : {40, 41, 42, 43, 44, 60}) EXPECT_EQ(blk->rwork()[k], 0.0) << k;

    for (int n : {4, 6}) {  // a wrong parameter count leaves the block unregistered
        json params = dialog();
        n == 4 ? params.erase(4) : params.push_back(1.0);
        BlockInstance b(blk.reg.load("Condenser"), "cond", dialog_from_json(params, "cond"));
        EXPECT_THROW(b.initialize_sizes(), SimulationError) << n;
    }
}

TEST(CondenserBlock, OutputsAndDerivativesPerMode)
{
    testsupport::ScopedWorkdir wd(testsupport::analytic_library());
    for (double mode : {1.0, 2.0})
        for (const char* tipo : {"CRO_UNMIX_MIX_1", "PLATE_1_1_CU_1"}) {
            SCOPED_TRACE(std::string(tipo) + " mode " + std::to_string(mode));
            Block blk(dialog(mode, tipo));
            blk->cont_states()[1] = 1.185e6;
            blk.step();
            const auto y = blk->output(0);
            const auto x = blk->cont_states();
            EXPECT_EQ(y[20], 2 * x[1] - blk.u[3]);
            EXPECT_EQ(y[17], 0.0);
            EXPECT_EQ(y[19], mode == 1.0 ? y[5] : x[4]);
            if (mode == 2.0) {
                EXPECT_EQ(y[18], x[0]);
            } else {
                EXPECT_NE(y[18], x[0]) << "the fitted length, not the state";
            }
            for (int k = 0; k < 21; ++k) EXPECT_TRUE(std::isfinite(y[k])) << k;
            // What the next update compares: states, extended state, derivatives.
            for (int k = 0; k < 18; ++k) EXPECT_EQ(blk->rwork()[10 + k], y[k]) << k;
            for (int k = 0; k < 5; ++k) {
                EXPECT_EQ(blk->rwork()[k], x[k]);
                EXPECT_EQ(blk->rwork()[40 + k], blk->derivatives_vector()[k]);
            }
        }
}

TEST(CondenserBlock, SubcooledLengthLiftAndUpdate)
{
    testsupport::ScopedWorkdir wd(testsupport::analytic_library());
    // Strict: a continuous state written in a minor step, or in a major step
    // without a solver reset, throws here.
    ContractPolicy strict_policy;
    strict_policy.strict = true;
    ScopedContractPolicy strict(strict_policy);
    auto derivatives = [](Block& b) {
        b->derivatives(0, false);
        return std::vector<double>(b->derivatives_vector().begin(), b->derivatives_vector().end());
    };

    Block blk(dialog(1.0));
    blk->outputs(0, true);
    blk->cont_states()[3] = 0.02;  // Lmin
    const auto at_lmin = derivatives(blk);
    for (double L3 : {0.0, -0.05}) {
        // The derivatives are those of a subcooled zone of Lmin; the state
        // itself is left alone (this also runs in minor steps).
        blk->cont_states()[3] = L3;
        EXPECT_EQ(derivatives(blk), at_lmin) << L3;
        EXPECT_EQ(blk->cont_states()[3], L3);
    }
    blk->cont_states()[3] = 0.2;  // a pending mode change resets even a longer zone, once
    blk->rwork()[60] = 1.0;
    EXPECT_EQ(derivatives(blk), at_lmin);
    EXPECT_EQ(blk->cont_states()[3], 0.2);
    EXPECT_EQ(blk->rwork()[60], 0.0);
    EXPECT_NE(derivatives(blk), at_lmin);

    // The update, a major step, lifts the state itself and asks the solver
    // to restart from it; an update that changes no state asks nothing.
    Block lifted(dialog(1.0));
    lifted->cont_states()[3] = -0.05;
    lifted->update(0);
    EXPECT_EQ(lifted->cont_states()[3], 0.02);
    EXPECT_TRUE(lifted->take_reset_request());
    lifted->update(0);
    EXPECT_FALSE(lifted->take_reset_request());

    // The update keeps mode 1 while no shrinking subcooled zone is recorded,
    // and records the mean refrigerant flow for the next one.
    Block fresh(dialog(1.0));
    fresh.u[0] = 0.007;
    fresh.u[1] = 0.005;
    fresh->cont_states()[3] = 0.01;
    fresh->outputs(0, true);
    fresh->update(0);
    EXPECT_EQ(fresh->disc_states()[0], 1.0);
    EXPECT_EQ(std::vector<double>(fresh->rwork().begin() + 50, fresh->rwork().begin() + 54),
              std::vector<double>({0.006, 0.006, 440000, 1.2e6}));
    fresh->rwork()[43] = -1e-3;
    fresh->update(0);
    EXPECT_EQ(fresh->disc_states()[0], 2.0);
    EXPECT_EQ(fresh->output(3)[0], 2.0);
}

TEST(CondenserBlock, RefusesWhatItCannotUse)
{
    testsupport::ScopedWorkdir wd(testsupport::analytic_library());
    auto expect_named = [](json p, std::initializer_list<const char*> words) {
        const std::string e = failure(p);
        for (const char* w : words) EXPECT_NE(e.find(w), std::string::npos) << "'" << w << "' in: " << e;
    };
    json p = dialog();
    p[0].erase("alfa2");
    expect_named(p, {"parameter 1", "alfa2"});
    p = dialog();
    p[3].erase("Condenser_h3_inicial");
    expect_named(p, {"parameter 4", "Condenser_h3_inicial"});
    p = dialog();
    p[4]["Kh"] = "fast";
    expect_named(p, {"parameter 5", "Kh"});
    p = dialog();
    p[2] = 4180.0;
    expect_named(p, {"parameter 3"});
    p = dialog();
    p[0]["tipo_intercambiador"] = "PLATE_1_1_CU";
    expect_named(p, {"tipo_intercambiador", "PLATE_1_1_CU"});
    for (double m : {0.0, 3.0, 1.5}) {
        p = dialog();
        p[3]["Condenser_mode"] = m;
        expect_named(p, {"Condenser_mode"});
    }
    // Air warmer than the refrigerant leaves no superheated zone of positive
    // length: the run stops, and nothing is published.
    Block blk(dialog());
    blk.w[0] = 400;
    EXPECT_THROW(blk->outputs(0, true), SimulationError);
    for (double v : blk->output(0)) EXPECT_EQ(v, 0.0);
}

TEST(CondenserBlock, RefusesGeometryAndStartingStatesOutOfRange)
{
    // A tube bundle without area or volume, negative coefficients, a smallest
    // subcooled length outside the tube, or starting states that are no
    // states would give heat rates of the wrong sign or none, and results
    // that look sound: refused before the run, parameter and field named.
    testsupport::ScopedWorkdir wd(testsupport::analytic_library());
    const std::vector<std::tuple<int, const char*, double>> cases = {
        {0, "D_tubos", 0.0},
        {0, "N_pasos", -1.0},
        {0, "L_tubos", std::nan("")},
        {0, "alfa3", -50.0},
        {4, "Lmin", 0.0},
        {4, "Lmin", 1.0},
        {4, "Kh", -0.5},
        {3, "Condenser_gamma_inicial", 1.5},
        {3, "Condenser_L1_inicial", -0.1},
        {3, "Condenser_L3_inicial", 1.2},
        {3, "Condenser_L3_inicial", 1.0},  // all subcooled: no room to condense
        {3, "Condenser_P_inicial", 0.0},
    };
    for (const auto& [param, field, value] : cases) {
        json p = dialog();
        p[param][field] = value;
        const std::string e = failure(p);
        EXPECT_NE(e.find("mdlInitializeSizes"), std::string::npos) << field << ": " << e;
        std::string named = std::string("\"") + field;
        named += "\" of dialog parameter " + std::to_string(param + 1);
        EXPECT_NE(e.find(named), std::string::npos) << e;
    }
    // In mode 2 the superheated length is the state itself: with the
    // subcooled one it must leave the two-phase zone a length. In mode 1 it
    // is only where the fit starts.
    json p2 = dialog(2.0);
    p2[3]["Condenser_L1_inicial"] = 0.5;
    p2[3]["Condenser_L3_inicial"] = 0.5;
    const std::string e2 = failure(p2);
    EXPECT_NE(e2.find("\"Condenser_L1_inicial\" = 0.5 and \"Condenser_L3_inicial\" = 0.5"), std::string::npos) << e2;
    EXPECT_NE(e2.find("mdlInitializeSizes"), std::string::npos) << e2;
    json p1 = dialog(1.0);
    p1[3]["Condenser_L1_inicial"] = 0.5;
    p1[3]["Condenser_L3_inicial"] = 0.5;
    EXPECT_EQ(failure(p1).find("mdlInitializeSizes"), std::string::npos) << failure(p1);

    // The edges themselves are models: no exchange in zone 2, an empty
    // subcooled zone in counterflow, a two-phase zone all vapour.
    for (auto [param, field, value] : std::vector<std::tuple<int, const char*, double>>{
             {0, "alfa2", 0.0}, {3, "Condenser_gamma_inicial", 1.0}, {3, "Condenser_L1_inicial", 1.0}}) {
        json p = dialog();
        p[param][field] = value;
        EXPECT_EQ(failure(p), "") << field;
    }
}

TEST(CondenserBlock, StopsOnInputsWithoutAModelAndNamesTheCause)
{
    testsupport::ScopedWorkdir wd(testsupport::analytic_library());
    const double nan = std::nan("");
    // Port, element, value, words of the message.
    const std::vector<std::tuple<int, int, double, std::vector<std::string>>> cases = {
        {0, 0, -0.0056, {"input port 0 element 0 (mR_in)", "negative mass flow"}},
        {0, 1, -0.0056, {"input port 0 element 1 (mR_out)"}},
        {0, 3, nan, {"input port 0 element 3 (P_c_in) is nan"}},
        {1, 1, -0.25, {"input port 1 element 1 (msec)", "negative mass flow"}},
        {1, 2, nan, {"input port 1 element 2 (Psec_in)"}},
        // Allowed values the superheated-length fit cannot work with.
        {1, 1, 0.0, {"superheated-length fit", "no secondary-fluid flow"}},
        {0, 2, 300000.0, {"superheated-length fit", "enters without superheat"}},
    };
    for (const auto& [port, elem, value, words] : cases) {
        Block blk(dialog());
        (port == 0 ? blk.u : blk.w)[elem] = value;
        std::string e;
        try {
            blk->outputs(0.5, true);
        } catch (const SimulationError& err) {
            e = err.what();
        }
        EXPECT_NE(e.find("t = 0.5"), std::string::npos) << e;
        for (const auto& w : words) EXPECT_NE(e.find(w), std::string::npos) << "'" << w << "' in: " << e;
        for (double v : blk->output(0)) EXPECT_EQ(v, 0.0);  // nothing published
    }

    // The derivative evaluation reads its own inputs: a flow turned negative
    // after the output evaluation stops it too, and writes no derivative.
    Block blk(dialog(2.0));
    blk->outputs(0, true);
    blk.u[1] = -1e-3;
    EXPECT_THROW(blk->derivatives(0, true), SimulationError);
    for (double v : blk->derivatives_vector()) EXPECT_EQ(v, 0.0);
}

TEST(CondenserBlock, SecondaryFluidWithoutSpecificHeatStopsTheRun)
{
    // A refused specific heat (HUGE_VAL) used to stand for an infinite air
    // capacity: air leaving at its inlet temperature, finite derivatives.
    if (!std::filesystem::exists(testsupport::real_library())) GTEST_SKIP() << "real property library not built";
    testsupport::ScopedWorkdir wd(testsupport::real_library());
    for (double mode : {1.0, 2.0}) {
        for (const char* sec : {"R999", "INCOMP::MEG-99%"}) {
            json p = dialog(mode);
            p[1] = "R134a";
            p[2] = sec;
            p[3]["Condenser_h3_inicial"] = 250000;
            const std::string e = failure(p);
            EXPECT_NE(e.find(std::string("no specific heat of the secondary fluid ") + sec + " at T = 300 K"),
                      std::string::npos)
                << mode << ": " << e;
        }
    }
}

// Saturation pressure of water from the real property library.
double props_psat_water(double T)
{
    void* lib = dlopen(testsupport::real_library().c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!lib) return NAN;
    using Entry = double (*)(const char*, const char*, double, const char*, double, const char*);
    const auto props = reinterpret_cast<Entry>(dlsym(lib, "PropsSI"));
    const double p = props ? props("P", "T", T, "Q", 0.0, "Water") : NAN;
    dlclose(lib);
    return p;
}

TEST(CondenserBlock, SecondaryFluidThatWouldChangePhaseStopsTheRun)
{
    // Cooling water whose pressure was given in bar where Pa is meant is
    // steam, or cannot be liquid at all; water, air and a brine at their
    // usual pressures pass.
    if (!std::filesystem::exists(testsupport::real_library())) GTEST_SKIP() << "real property library not built";
    testsupport::ScopedWorkdir wd(testsupport::real_library());
    auto water_cooled = [](const char* sec) {
        json p = dialog(1.0);
        p[1] = "R134a";
        p[2] = sec;
        p[3]["Condenser_h3_inicial"] = 250000;
        return p;
    };
    const std::vector<std::tuple<double, std::vector<std::string>>> cases = {
        {3.0, {"Water enters at a pressure of 3 Pa (input port 1 element 2 (Psec_in))", "below its triple-point pressure 611.6"}},
        // 0.03 bar: water at 300 K is steam (it condenses at 297.2 K).
        {3000.0, {"Water enters as a vapour at 3000 Pa (input port 1 element 2 (Psec_in)) and 300 K", "condenses at 297.2"}},
    };
    for (const auto& [pressure, words] : cases) {
        Block blk(water_cooled("Water"));
        blk.w[2] = pressure;
        const std::string e = testsupport::simulation_error_of([&] { blk->outputs(2.5, true); });
        EXPECT_NE(e.find("t = 2.5"), std::string::npos) << e;
        for (const auto& w : words) EXPECT_NE(e.find(w), std::string::npos) << "'" << w << "' in: " << e;
    }
    double T_water_out = 0.0;
    for (const char* sec : {"Water", "Air", "INCOMP::MEG-30%"}) {
        Block blk(water_cooled(sec));
        blk.w[2] = 2e5;
        EXPECT_EQ(testsupport::simulation_error_of([&] { blk->outputs(0, true); }), "") << sec;
        if (std::string(sec) == "Water") T_water_out = blk->output(0)[4];
    }
    // Liquid at the inlet that the refrigerant heats past its boiling point.
    ASSERT_GT(T_water_out, 300.5);
    const double P_boil = 0.5 * (props_psat_water(300.0) + props_psat_water(T_water_out));
    Block blk(water_cooled("Water"));
    blk.w[2] = P_boil;
    const std::string e = testsupport::simulation_error_of([&] { blk->outputs(0, true); });
    EXPECT_NE(e.find("changes phase at"), std::string::npos) << e;
    EXPECT_NE(e.find("entering at 300 K, input port 1 element 0 (Tsec_in)"), std::string::npos) << e;
}

// The dialog is validated when it changes (the host calls mdlCheckParameters),
// not at every evaluation: a refused change is named at once, an evaluation
// made with it anyway still stops with the error instead of reading a missing
// field, and a sound change takes effect at the next evaluation.
TEST(CondenserBlock, DialogChangedDuringTheRunIsCheckedWhenItChanges)
{
    testsupport::ScopedWorkdir wd(testsupport::analytic_library());
    Block blk(dialog());
    const auto before = blk.step();
    json p = dialog();
    p[0].erase("alfa2");
    const std::string refused = testsupport::simulation_error_of(
        [&] { blk->set_parameter(0, dialog_value_from_json(p[0], "cond")); });
    EXPECT_NE(refused.find("mdlCheckParameters"), std::string::npos) << refused;
    EXPECT_NE(refused.find("\"alfa2\""), std::string::npos) << refused;
    for (int k = 0; k < 2; ++k) {
        const std::string again = testsupport::simulation_error_of([&] { blk.step(); });
        EXPECT_NE(again.find("\"alfa2\""), std::string::npos) << again;
    }
    p = dialog();
    p[0]["D_tubos"] = 0.0;
    EXPECT_NE(testsupport::simulation_error_of([&] { blk->set_parameter(0, dialog_value_from_json(p[0], "cond")); })
                  .find("field \"D_tubos\" of dialog parameter 1 (tube diameter, m) must be a finite number > 0, got 0"),
              std::string::npos);
    p = dialog();
    p[0]["alfa2"] = 260.0;
    blk->set_parameter(0, dialog_value_from_json(p[0], "cond"));
    const auto after = blk.step();
    EXPECT_NE(after, before);
    Block fresh(p);
    EXPECT_EQ(after, fresh.step());
}

TEST(CondenserBlock, InstancesKeepTheirOwnParametersAndLibrary)
{
    {
        testsupport::ScopedWorkdir wd("");
        EXPECT_NE(failure(dialog()).find("property library"), std::string::npos);
    }
    {
        testsupport::ScopedWorkdir wd(testsupport::no_entry_library());
        EXPECT_NE(failure(dialog()).find("PropsSI"), std::string::npos);
    }
    // A later run binds the library of its own directory, not a stale one.
    testsupport::ScopedWorkdir wd(testsupport::analytic_library());
    json small = dialog(2.0), large = dialog(2.0);
    large[0]["N_tubos"] = 25;
    large[0]["tipo_intercambiador"] = "PLATE_1_1_CU_1";
    const auto alone_small = Block(small).step(), alone_large = Block(large).step();
    ASSERT_NE(alone_small, alone_large);
    Block a(small, "small"), b(large, "large");  // the large one initialised last
    EXPECT_EQ(a.step(), alone_small);
    EXPECT_EQ(b.step(), alone_large);
    a->terminate();  // one finishing first leaves the other working
    EXPECT_EQ(b.step(), alone_large);
}

TEST(CondenserBlock, ReferenceOperatingPoints)
{
    if (!std::filesystem::exists(testsupport::real_library())) GTEST_SKIP() << "real property library not built";
    std::ifstream in(testsupport::reference_file("blocks/Condenser.json"));
    const json ref = json::parse(in);
    testsupport::ScopedWorkdir wd(testsupport::real_library());
    PluginRegistry reg(testsupport::blocks_dir());
    for (const auto& point : ref["points"]) {
        EvaluationRequest req;
        req.block = "Condenser";
        req.params = point["params"];
        req.inputs = point["inputs"];
        const json out = evaluate_block(reg, req);
        const std::string what = point["params"][0]["tipo_intercambiador"].get<std::string>() + " mode " +
                                 point["params"][3]["Condenser_mode"].dump();
        // The superheated length is fitted to round-off, not only to the
        // false position's 1e-6 of the heat: the fitted length moves by up to
        // 8e-7 of itself, and the smallest mode-1 rate (the subcooled length's)
        // by up to about 2.2e-6.
        auto compare = [&](const json& want, const json& got, const char* name, double tol = 2e-6) {
            double worst = 0;
            for (size_t k = 0; k < want.size(); ++k) {
                if (want[k].is_null()) continue;
                const double w = want[k], g = got[k];
                const double d = w == 0 ? std::fabs(g) : std::fabs(g - w) / std::fabs(w);
                EXPECT_LT(d, tol) << what << " " << name << " " << k << ": " << g << " vs " << w;
                worst = std::max(worst, d);
            }
            return worst;
        };
        const double worst = std::max(compare(point["port0"], out["outputs"][0], "port 0 element"),
                                      compare(point["derivatives"], out["derivatives"], "derivative", 3e-6));
        std::printf("  %-22s worst relative difference %.2e\n", what.c_str(), worst);
    }
}

TEST(CondenserBlock, LengthFitStartsFromTheWholeTubeWhenTheStateGivesNoBracket)
{
    // A superheated length at or below the fit's lower point (as mode 2 can
    // leave it before a switch back to mode 1) would make the first secant
    // 0/0; the fit then starts from the whole tube and finds the same length.
    testsupport::ScopedWorkdir wd(testsupport::analytic_library());
    Block from_state(dialog());
    from_state->cont_states()[1] = 1.185e6;
    from_state.step();
    const double fitted = from_state->output(0)[18];
    for (double start : {0.01, 0.0, 0.004}) {
        SCOPED_TRACE(start);
        Block blk(dialog());
        blk->cont_states()[1] = 1.185e6;
        blk->cont_states()[0] = start;
        blk.step();
        EXPECT_NEAR(blk->output(0)[18], fitted, 1e-5 * fitted);
        EXPECT_GT(blk->output(0)[18], 0.01);
    }
}
