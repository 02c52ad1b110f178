// The Evaporator plug-in through the host with the analytic property
// library (7 bar: saturation 270 K, hf = 170000, hg = 370000 J/kg, vapour cp
// 1000 J/(kg K), so T(h) = 270 + (h - hg)/1000 above hg): dialog checks, the
// three regimes, the secondary fluid's specific heat and the outlet enthalpy
// carried between calls.
#include "block_fixture.h"

#include <functional>
#include <limits>

using namespace evaptest;
using cyclesim::BlockInstance;
using cyclesim::PluginRegistry;

namespace {

constexpr double kHg = 370000.0, kCpWater = 4180.0;
const Point kTwoPhase{250000, 0.02, 7e5, 285, 0.05, 2e5};
const Point kTwoZones{250000, 0.005, 7e5, 285, 0.05, 2e5};
// All superheated needs a refrigerant entering above hg: its superheated
// duty then exceeds what the whole area carries.
const Point kAllSuperheated{380000, 0.002, 7e5, 285, 0.05, 2e5};

class EvaporatorBlock : public ::testing::Test {
protected:
    testsupport::ScopedWorkdir wd_{testsupport::analytic_library()};

    // A block set up through initial conditions, inputs read from u.
    std::unique_ptr<BlockInstance> block(PluginRegistry& reg, const Settings& s, const double* u)
    {
        auto b = std::make_unique<BlockInstance>(reg.load("Evaporator"), "evap", cyclesim::dialog_from_json(s.params(), "evap"));
        b->initialize_sizes();
        for (int k = 0; k < 6; ++k) b->connect_input(0, k, &u[k]);
        b->initialize_sample_times();
        b->check_parameters();
        b->start();
        b->initialize_conditions();
        return b;
    }
};

}  // namespace

TEST_F(EvaporatorBlock, RefusesDialogValuesItCannotRead)
{
    const std::vector<std::pair<std::function<void(json&)>, std::vector<std::string>>> cases = {
        {[](json& p) { p[0].erase("alfa2"); }, {"parameter 1", "\"alfa2\""}},
        {[](json& p) { p[0].erase("medidaG"); }, {"parameter 1", "\"medidaG\""}},
        {[](json& p) { p[0]["N_placas"] = "ten"; }, {"parameter 1", "\"N_placas\""}},
        {[](json& p) { p[0]["tipo_intercambiador"] = 1.0; }, {"\"tipo_intercambiador\""}},
        {[](json& p) { p[0]["tipo_intercambiador"] = "PLATE_1_1_CU_2"; },
         {"\"tipo_intercambiador\"", "PLATE_1_1_CU_2", "PLATE_1_1_CU_1", "CRO_UNMIX_MIX_1"}},
        {[](json& p) { p[1] = 134.0; }, {"parameter 2", "refrigerant"}},
        {[](json& p) { p[2] = json::object({{"a", 1.0}}); }, {"parameter 3"}},
        {[](json& p) { p[3] = "400000"; }, {"parameter 4"}},
    };
    for (const auto& [spoil, pieces] : cases) {
        json params = Settings{}.params();
        spoil(params);
        std::string message;
        try {
            evaluate(params, kTwoZones);
        } catch (const cyclesim::SimulationError& e) {
            message = e.what();
        }
        ASSERT_FALSE(message.empty()) << params.dump();
        for (const auto& piece : pieces) EXPECT_NE(message.find(piece), std::string::npos) << message;
    }
}

TEST_F(EvaporatorBlock, ThreeRegimesCloseTheEnergyBalance)
{
    for (const char* tipo : {"PLATE_1_1_CU_1", "CRO_UNMIX_MIX_1"}) {
        SCOPED_TRACE(tipo);
        Settings s;
        s.tipo = tipo;
        for (const Point& p : {kTwoPhase, kTwoZones, kAllSuperheated}) {
            const Result r = evaluate(s.params(), p);
            EXPECT_NEAR(energy_imbalance(r, p, kCpWater), 0.0, 1.1e-6);
            EXPECT_EQ(r.rwork[3], r.h_e_out());
            EXPECT_EQ(std::vector<double>(r.y.begin(), r.y.begin() + 3), (std::vector<double>{170000, kHg, 270}));
            if (r.modo() != 2) {
                EXPECT_NEAR(r.TSH(), (r.h_e_out() - kHg) / 1000.0, 1e-9);
            }
        }
        const Result a = evaluate(s.params(), kTwoPhase);
        EXPECT_EQ(a.modo(), 2);
        EXPECT_LT(a.h_e_out(), kHg);
        EXPECT_EQ(std::vector<double>({a.L_e_1(), a.Q_e2(), a.TSH()}), (std::vector<double>{1, 0, 0}));
        EXPECT_EQ(a.T_e_out_1_A(), a.T_e_out_A());

        // Water cools first in the superheated zone, then in the two-phase one.
        const Result b = evaluate(s.params(), kTwoZones);
        EXPECT_EQ(b.modo(), 1);
        EXPECT_GT(b.L_e_1(), 0.0);
        EXPECT_LT(b.L_e_1(), 1.0);
        EXPECT_NEAR(b.Q_e2(), (b.h_e_out() - kHg) * kTwoZones.mR, 1e-9);
        EXPECT_NEAR(kTwoZones.Tsec_in - b.T_e_out_1_A(), b.Q_e2() / (0.05 * kCpWater), 1e-9);
        EXPECT_LT(b.T_e_out_A(), b.T_e_out_1_A());

        const Result c = evaluate(s.params(), kAllSuperheated);
        EXPECT_EQ(c.modo(), 3);
        EXPECT_EQ(std::vector<double>({c.L_e_1(), c.Q_e1()}), (std::vector<double>{0, 0}));
        EXPECT_EQ(c.T_e_out_1_A(), c.T_e_out_A());
    }
}

TEST_F(EvaporatorBlock, SecondaryFluidSpecificHeat)
{
    // Only the exact name "Glicol_propio" has the fixed 3370.374 J/(kg K);
    // other names go to the property library (1005 for them in the analytic one).
    for (auto [name, cp] : {std::pair<const char*, double>{"Glicol_propio", 3370.374}, {"glicol_propio", 1005.0},
                           {"Glicol_propio ", 1005.0}}) {
        Settings s;
        s.sec = name;
        EXPECT_NEAR(energy_imbalance(evaluate(s.params(), kTwoZones), kTwoZones, cp), 0.0, 1.1e-6) << name;
    }
    // No secondary flow: no heat, the refrigerant leaves as it came.
    Point still = kTwoZones;
    still.msec_in = 0;
    const Result r = evaluate(Settings{}.params(), still);
    EXPECT_NEAR(r.h_e_out(), still.hc_out, 1e-6 * still.hc_out);
    EXPECT_EQ(r.Q_e1(), 0.0);
    EXPECT_EQ(r.T_e_out_A(), still.Tsec_in);
}

TEST_F(EvaporatorBlock, WithoutRefrigerantFlowTheVapourReachesTheWaterTemperature)
{
    // No refrigerant flow: the limit of a vanishing flow, whatever outlet
    // enthalpy the block holds. Whatever stands in the plates is warmed to
    // the water inlet (all area superheated, superheat Tsec_in - Tsat), no
    // heat moves and the water leaves as it came; the held outlet enthalpy
    // stays for the search when the flow resumes.
    Settings s;
    Point still = kTwoZones;
    still.mR = 0;
    double u[6];
    auto set = [&u](const Point& q) { std::ranges::copy(q.inputs(), u); };
    PluginRegistry reg(testsupport::blocks_dir());
    auto b = block(reg, s, u);

    const double T_sat = 270.0, h_full_approach = kHg + (still.Tsec_in - T_sat) * 1000.0;
    auto expect_still = [&](double held) {
        auto y = b->output(0);
        EXPECT_DOUBLE_EQ(y[9], h_full_approach);
        EXPECT_EQ(y[8], 3);
        EXPECT_DOUBLE_EQ(y[10], still.Tsec_in - T_sat);
        EXPECT_EQ(y[3], 0.0);
        EXPECT_EQ(y[4] + y[5], 0.0);
        EXPECT_EQ(y[6], still.Tsec_in);
        EXPECT_EQ(y[7], still.Tsec_in);
        EXPECT_EQ(b->rwork()[3], held);
    };
    set(still);
    b->outputs(0.0, true);
    expect_still(s.h_inicial);

    set(kTwoZones);
    b->outputs(1.0, true);
    const double converged = b->output(0)[9];
    EXPECT_NE(converged, s.h_inicial);
    set(still);
    b->outputs(2.0, true);
    expect_still(converged);

    // A flow too small to matter lands next to the limit.
    Point trickle = kTwoZones;
    trickle.mR = 1e-9;
    set(trickle);
    b->outputs(3.0, true);
    EXPECT_NEAR(b->output(0)[9], h_full_approach, 50.0);
    EXPECT_NEAR(b->output(0)[7], still.Tsec_in, 1e-3);
    b->terminate();
}

TEST_F(EvaporatorBlock, InstancesUseTheirOwnCoefficientsAndType)
{
    // All evaporators share one parameter record; each output call binds its
    // own dialog's values before using them.
    Settings a, c;
    c.alfa1 = 400;
    c.alfa2 = 90;
    c.tipo = "CRO_UNMIX_MIX_1";
    const auto u = kTwoZones.inputs();
    PluginRegistry reg(testsupport::blocks_dir());
    auto A = block(reg, a, u.data());
    auto C = block(reg, c, u.data());
    A->outputs(0, true);
    const double first = A->output(0)[9];
    C->outputs(0, true);
    EXPECT_GT(std::fabs(C->output(0)[9] - first), 1.0);
    A->outputs(1, true);
    EXPECT_EQ(A->output(0)[9], first);

    // Once all have terminated the library is released: a later run from
    // another directory gets the library found there (here one without entry).
    A.reset();
    C.reset();
    testsupport::ScopedWorkdir other(testsupport::no_entry_library());
    EXPECT_THROW(block(reg, a, u.data()), cyclesim::SimulationError);
}

namespace {

// The message of the SimulationError an evaluation throws, empty if none.
std::string refusal(const json& params, const Point& p)
{
    try {
        evaluate(params, p);
    } catch (const cyclesim::SimulationError& e) {
        return e.what();
    }
    return {};
}

}  // namespace

TEST_F(EvaporatorBlock, RefusesPlatePacksWithoutAreaOrChannels)
{
    // Fewer than three plates, or plates no wider than their port margins,
    // leave a zero or negative heat-transfer area: negative heat rates that
    // would pass for results. A massless-material density leaves no channels.
    const std::vector<std::pair<std::function<void(json&)>, std::vector<std::string>>> cases = {
        {[](json& p) { p[0]["N_placas"] = 2.0; }, {"parameter 1", "heat-transfer area", "N_placas = 2"}},
        {[](json& p) { p[0]["N_placas"] = 1.0; }, {"parameter 1", "heat-transfer area", "N_placas = 1"}},
        {[](json& p) { p[0]["medidaC"] = 0.02; }, {"heat-transfer area", "medidaC = 0.02"}},
        {[](json& p) { p[0]["densidad_material"] = 0.0; }, {"parameter 1", "no room for the channels"}},
        {[](json& p) { p[0]["peso_placa"] = 50.0; }, {"no room for the channels"}},
        {[](json& p) { p[0]["alfa1"] = -800.0; }, {"\"alfa1\"", "parameter 1", "-800"}},
        {[](json& p) { p[0]["alfa2"] = std::numeric_limits<double>::infinity(); }, {"\"alfa2\""}},
    };
    for (const auto& [spoil, pieces] : cases) {
        json params = Settings{}.params();
        spoil(params);
        const std::string message = refusal(params, kTwoZones);
        ASSERT_FALSE(message.empty()) << params.dump();
        EXPECT_NE(message.find("mdlInitializeSizes"), std::string::npos) << message;
        for (const auto& piece : pieces) EXPECT_NE(message.find(piece), std::string::npos) << message;
    }

    // The smallest pack that exchanges heat, and a coefficient of zero, are models.
    Settings three;
    three.N_placas = 3;
    EXPECT_GT(evaluate(three.params(), kTwoZones).Q_e1(), 0.0);
    Settings no_superheated_exchange;
    no_superheated_exchange.alfa2 = 0;
    EXPECT_EQ(refusal(no_superheated_exchange.params(), kTwoPhase), "");
}

TEST_F(EvaporatorBlock, StopsOnInputsWithoutAModelNamingTheInput)
{
    const auto with = [](Point p, int k, double v) {
        std::vector<double> u = p.inputs();
        u[k] = v;
        return Point{u[0], u[1], u[2], u[3], u[4], u[5]};
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<std::pair<Point, std::vector<std::string>>> cases = {
        {with(kTwoZones, 1, -0.005), {"input 1 (mR)", "negative mass flow", "t = 0"}},
        {with(kTwoZones, 4, -0.05), {"input 4 (msec_in)", "negative mass flow"}},
        {with(kTwoZones, 2, nan), {"input 2 (Pe)", "nan"}},
        {with(kTwoZones, 5, nan), {"input 5 (psec_in)"}},
        // The analytic library has no saturation at a pressure of zero.
        {with(kTwoZones, 2, 0.0), {"no saturated liquid and vapour of Analytic", "Pe = 0 Pa"}},
        // Water colder than the refrigerant evaporating at 270 K would
        // condense it.
        {with(kTwoZones, 3, 265.0), {"Tsec_in = 265 K (input 3)", "colder than the refrigerant Analytic",
                                     "Pe = 700000 Pa", "hc_out = 250000"}},
    };
    for (const auto& [p, pieces] : cases) {
        const std::string message = refusal(Settings{}.params(), p);
        ASSERT_FALSE(message.empty()) << testing::PrintToString(p.inputs());
        EXPECT_NE(message.find("mdlOutputs"), std::string::npos) << message;
        for (const auto& piece : pieces) EXPECT_NE(message.find(piece), std::string::npos) << message;
    }

    // No flow on either side exchanges no heat: a result, not a refusal.
    for (int k : {1, 4}) {
        const Result r = evaluate(Settings{}.params(), with(kTwoPhase, k, 0.0));
        EXPECT_EQ(r.Q_e1() + r.Q_e2(), 0.0) << k;
        EXPECT_EQ(r.T_e_out_A(), kTwoPhase.Tsec_in) << k;
    }
}
