// The Evaporator plug-in driven through the host with the analytic property
// library: dialog checks, the three regimes and their outputs, the secondary
// fluid's specific heat, and the outlet enthalpy carried between calls.
// Analytic fluid at 7 bar: saturation 270 K, hf = 170000, hg = 370000 J/kg,
// vapour cp 1000 J/(kg K), so T(h) = 270 + (h - hg)/1000 above hg.
#include "block_fixture.h"

using namespace evaptest;
using cyclesim::BlockInstance;
using cyclesim::PluginRegistry;

namespace {

constexpr double kHg = 370000.0, kTsat = 270.0, kCpWater = 4180.0;
const Point kTwoPhase{250000, 0.02, 7e5, 285, 0.05, 2e5};
const Point kTwoZones{250000, 0.005, 7e5, 285, 0.05, 2e5};
// The whole area superheated needs a refrigerant entering above hg: the
// superheated duty then exceeds what the full area carries.
const Point kAllSuperheated{380000, 0.002, 7e5, 285, 0.05, 2e5};

class EvaporatorBlock : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!std::filesystem::exists(testsupport::analytic_library()))
            GTEST_SKIP() << "analytic property library not built";
        wd_ = std::make_unique<testsupport::ScopedWorkdir>(testsupport::analytic_library());
    }
    std::unique_ptr<testsupport::ScopedWorkdir> wd_;
};

}  // namespace

TEST_F(EvaporatorBlock, RefusesDialogValuesItCannotRead)
{
    struct Case {
        const char* what;
        std::function<void(json&)> spoil;
        std::vector<std::string> in_message;
    };
    const std::vector<Case> cases = {
        {"missing coefficient", [](json& p) { p[0].erase("alfa2"); }, {"parameter 1", "\"alfa2\""}},
        {"missing geometry", [](json& p) { p[0].erase("medidaG"); }, {"parameter 1", "\"medidaG\""}},
        {"text for a number", [](json& p) { p[0]["N_placas"] = "ten"; }, {"parameter 1", "\"N_placas\""}},
        {"number for the type", [](json& p) { p[0]["tipo_intercambiador"] = 1.0; }, {"\"tipo_intercambiador\""}},
        {"unknown type", [](json& p) { p[0]["tipo_intercambiador"] = "PLATE_1_1_CU_2"; },
         {"\"tipo_intercambiador\"", "PLATE_1_1_CU_2", "PLATE_1_1_CU_1", "CRO_UNMIX_MIX_1"}},
        {"refrigerant not text", [](json& p) { p[1] = 134.0; }, {"parameter 2", "refrigerant"}},
        {"secondary fluid not text", [](json& p) { p[2] = json::object({{"a", 1.0}}); }, {"parameter 3"}},
        {"starting enthalpy not a number", [](json& p) { p[3] = "400000"; }, {"parameter 4"}},
    };
    for (const auto& c : cases) {
        json params = Settings{}.params();
        c.spoil(params);
        const std::string message = error_of(params, kTwoZones);
        ASSERT_FALSE(message.empty()) << c.what;
        for (const auto& piece : c.in_message) EXPECT_NE(message.find(piece), std::string::npos) << c.what << ": " << message;
    }
}

TEST_F(EvaporatorBlock, ThreeRegimesCloseTheEnergyBalance)
{
    for (const char* tipo : {"PLATE_1_1_CU_1", "CRO_UNMIX_MIX_1"}) {
        Settings s;
        s.tipo = tipo;
        SCOPED_TRACE(tipo);

        const Result two_phase = evaluate(s.params(), kTwoPhase);
        EXPECT_EQ(two_phase.modo(), 2);
        EXPECT_LT(two_phase.h_e_out(), kHg);
        EXPECT_EQ(two_phase.L_e_1(), 1.0);
        EXPECT_EQ(two_phase.Q_e2(), 0.0);
        EXPECT_EQ(two_phase.TSH(), 0.0);
        EXPECT_EQ(two_phase.T_e_out_1_A(), two_phase.T_e_out_A());
        EXPECT_NEAR(energy_imbalance(two_phase, kTwoPhase, kCpWater), 0.0, 1.1e-6);

        const Result two_zones = evaluate(s.params(), kTwoZones);
        EXPECT_EQ(two_zones.modo(), 1);
        EXPECT_GT(two_zones.L_e_1(), 0.0);
        EXPECT_LT(two_zones.L_e_1(), 1.0);
        EXPECT_NEAR(two_zones.Q_e2(), (two_zones.h_e_out() - kHg) * kTwoZones.mR, 1e-9);
        EXPECT_NEAR(two_zones.TSH(), (two_zones.h_e_out() - kHg) / 1000.0, 1e-9);
        // Water cools first in the superheated zone, then in the two-phase one.
        EXPECT_NEAR(kTwoZones.Tsec_in - two_zones.T_e_out_1_A(), two_zones.Q_e2() / (0.05 * kCpWater), 1e-9);
        EXPECT_LT(two_zones.T_e_out_A(), two_zones.T_e_out_1_A());
        EXPECT_NEAR(energy_imbalance(two_zones, kTwoZones, kCpWater), 0.0, 1.1e-6);

        const Result all_superheated = evaluate(s.params(), kAllSuperheated);
        EXPECT_EQ(all_superheated.modo(), 3);
        EXPECT_EQ(all_superheated.L_e_1(), 0.0);
        EXPECT_EQ(all_superheated.Q_e1(), 0.0);
        EXPECT_EQ(all_superheated.T_e_out_1_A(), all_superheated.T_e_out_A());
        EXPECT_NEAR(all_superheated.TSH(), (all_superheated.h_e_out() - kHg) / 1000.0, 1e-9);
        EXPECT_NEAR(energy_imbalance(all_superheated, kAllSuperheated, kCpWater), 0.0, 1.1e-6);

        for (const Result* r : {&two_phase, &two_zones, &all_superheated}) {
            EXPECT_EQ(r->h_e_f(), 170000.0);
            EXPECT_EQ(r->h_e_g(), kHg);
            EXPECT_EQ(r->T_e_1_R(), kTsat);
            EXPECT_EQ(r->rwork[3], r->h_e_out());
        }
    }
}

TEST_F(EvaporatorBlock, OwnGlycolHasAFixedSpecificHeat)
{
    // Only the exact name selects 3370.374 J/(kg K); any other name is asked
    // of the property library (1005 for unknown fluids in the analytic one).
    for (auto [name, cp] : {std::pair<const char*, double>{"Glicol_propio", 3370.374},
                           {"glicol_propio", 1005.0}, {"Glicol_propio ", 1005.0}}) {
        Settings s;
        s.sec = name;
        const Result r = evaluate(s.params(), kTwoZones);
        EXPECT_NEAR(energy_imbalance(r, kTwoZones, cp), 0.0, 1.1e-6) << name;
    }
}

TEST_F(EvaporatorBlock, NoSecondaryFlowExchangesNoHeat)
{
    const Point p{250000, 0.005, 7e5, 285, 0.0, 2e5};
    const Result r = evaluate(Settings{}.params(), p);
    EXPECT_NEAR(r.h_e_out(), p.hc_out, 1e-6 * p.hc_out);
    EXPECT_EQ(r.modo(), 2);
    EXPECT_EQ(r.Q_e1(), 0.0);
    EXPECT_EQ(r.T_e_out_A(), p.Tsec_in);
}

TEST_F(EvaporatorBlock, FailedSearchKeepsThePreviousOutletEnthalpy)
{
    // Without refrigerant flow no outlet enthalpy can be found; the block
    // keeps the one it holds (first the dialog's starting value), exchanges
    // no heat and reports only finite values.
    Settings s;
    PluginRegistry reg(testsupport::blocks_dir());
    BlockInstance b(reg.load("Evaporator"), "evap", cyclesim::dialog_from_json(s.params(), "evap"));
    b.initialize_sizes();
    Point p = kTwoZones;
    double u[6];
    for (int k = 0; k < 6; ++k) b.connect_input(0, k, &u[k]);
    auto set = [&](const Point& q) {
        const auto v = q.inputs();
        std::copy(v.begin(), v.end(), u);
    };
    b.initialize_sample_times();
    b.check_parameters();
    b.start();
    b.initialize_conditions();

    p.mR = 0.0;
    set(p);
    b.outputs(0.0, true);
    auto y = b.output(0);
    EXPECT_EQ(y[9], s.h_inicial);
    EXPECT_EQ(b.rwork()[3], s.h_inicial);
    EXPECT_EQ(y[4], 0.0);
    EXPECT_EQ(y[5], 0.0);
    EXPECT_EQ(y[7], p.Tsec_in);
    for (double v : y) EXPECT_TRUE(std::isfinite(v));

    set(kTwoZones);
    b.outputs(1.0, true);
    const double converged = b.output(0)[9];
    EXPECT_NE(converged, s.h_inicial);

    set(p);
    b.outputs(2.0, true);
    EXPECT_EQ(b.output(0)[9], converged);
    EXPECT_EQ(b.rwork()[3], converged);
    b.terminate();
}

TEST_F(EvaporatorBlock, InstancesUseTheirOwnCoefficientsAndType)
{
    // All evaporators share one parameter record; each output call must bind
    // its own dialog's values before using them.
    Settings a, c;
    c.alfa1 = 400;
    c.alfa2 = 90;
    c.tipo = "CRO_UNMIX_MIX_1";
    PluginRegistry reg(testsupport::blocks_dir());
    BlockInstance A(reg.load("Evaporator"), "A", cyclesim::dialog_from_json(a.params(), "A"));
    BlockInstance C(reg.load("Evaporator"), "C", cyclesim::dialog_from_json(c.params(), "C"));
    const auto v = kTwoZones.inputs();
    for (BlockInstance* b : {&A, &C}) {
        b->initialize_sizes();
        for (int k = 0; k < 6; ++k) b->connect_input(0, k, &v[k]);
        b->initialize_sample_times();
        b->check_parameters();
        b->start();
        b->initialize_conditions();
    }
    A.outputs(0, true);
    const double first = A.output(0)[9];
    C.outputs(0, true);
    const double other = C.output(0)[9];
    A.outputs(1, true);
    EXPECT_EQ(A.output(0)[9], first);
    EXPECT_GT(std::fabs(other - first), 1.0);
    A.terminate();
    C.terminate();
}
