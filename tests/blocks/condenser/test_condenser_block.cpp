// The Condenser plug-in driven through the host: registration, initial
// conditions, the three callbacks, parameter checks, several instances in one
// process, and the reference operating points with the real property library.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <memory>
#include <string>

#include "block_instance.h"
#include "errors.h"
#include "evaluate.h"
#include "test_workdir.h"

using namespace cyclesim;
using nlohmann::json;

namespace {

json geometry(const std::string& tipo = "CRO_UNMIX_MIX_1", double N_tubos = 10)
{
    return {{"N_pasos", 4},     {"N_tubos", N_tubos}, {"L_tubos", 0.5}, {"D_tubos", 0.0095},
            {"kperd", 0.0},     {"alfa1", 100.0},     {"alfa2", 200.0}, {"alfa3", 50.0},
            {"tipo_intercambiador", tipo}};
}

json starting(double mode, double L1 = 0.1, double gamma = 0.85)
{
    return {{"Condenser_L1_inicial", L1},    {"Condenser_P_inicial", 1.19e6},
            {"Condenser_h3_inicial", 210000}, {"Condenser_L3_inicial", 0.1},
            {"Condenser_gamma_inicial", gamma}, {"Condenser_mode", mode}};
}

json simulation() { return {{"Lmin", 0.02}, {"Lmin_gamma", 0.05}, {"Kh", 0.5}, {"Kgamma", 0.0}}; }

json dialog(double mode = 1.0, const std::string& tipo = "CRO_UNMIX_MIX_1")
{
    return json::array({geometry(tipo), "Analytic", "Air", starting(mode, 0.1, mode == 1.0 ? 0.85 : 0.97),
                        simulation()});
}

// One condenser with its inputs wired to values the test owns.
struct Block {
    PluginRegistry reg{testsupport::blocks_dir()};
    double u[4] = {0.0056, 0.0056, 440000, 1.2e6};
    double w[3] = {300, 0.25, 1e5};
    std::unique_ptr<BlockInstance> b;

    explicit Block(const json& params, const std::string& name = "cond")
    {
        b = std::make_unique<BlockInstance>(reg.load("Condenser"), name, dialog_from_json(params, name));
        b->initialize_sizes();
        for (int e = 0; e < 4; ++e) b->connect_input(0, e, &u[e]);
        for (int e = 0; e < 3; ++e) b->connect_input(1, e, &w[e]);
        b->initialize_sample_times();
        b->check_parameters();
        b->start();
        b->initialize_conditions();
    }
    BlockInstance* operator->() { return b.get(); }
};

std::string failure(const json& params)
{
    try {
        Block blk(params);
        blk->outputs(0, true);
        blk->derivatives(0, true);
    } catch (const SimulationError& e) {
        return e.what();
    }
    return "";
}

double rel(double a, double b) { return std::fabs(a - b) / std::max(std::fabs(b), 1e-300); }

}  // namespace

TEST(CondenserBlock, RegistrationAndParameterCount)
{
    testsupport::ScopedWorkdir wd(testsupport::analytic_library());
    Block blk(dialog());
    EXPECT_EQ(blk->num_inputs(), 2);
    EXPECT_EQ(blk->input_width(0), 4);
    EXPECT_EQ(blk->input_width(1), 3);
    EXPECT_TRUE(blk->direct_feedthrough(0) && blk->direct_feedthrough(1));
    ASSERT_EQ(blk->num_outputs(), 4);
    const int widths[4] = {21, 5, 5, 1};
    for (int p = 0; p < 4; ++p) EXPECT_EQ(blk->output_width(p), widths[p]);
    EXPECT_EQ(blk->cont_states().size(), 5u);
    EXPECT_EQ(blk->disc_states().size(), 1u);
    EXPECT_EQ(blk->rwork().size(), 70u);
    EXPECT_EQ(blk->sample_time(0), 0.0);

    for (int n : {4, 6}) {
        json params = dialog();
        if (n == 4)
            params.erase(4);
        else
            params.push_back(1.0);
        PluginRegistry reg(testsupport::blocks_dir());
        BlockInstance b(reg.load("Condenser"), "cond", dialog_from_json(params, "cond"));
        EXPECT_THROW(b.initialize_sizes(), SimulationError) << n << " parameters";
    }
}

TEST(CondenserBlock, InitialConditions)
{
    testsupport::ScopedWorkdir wd(testsupport::analytic_library());
    Block blk(dialog(2.0));
    const double x0[5] = {0.1, 1.19e6, 210000, 0.1, 0.97};
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(blk->cont_states()[k], x0[k]);
        EXPECT_EQ(blk->rwork()[k], x0[k]);
        EXPECT_EQ(blk->rwork()[40 + k], 0.0);
    }
    EXPECT_EQ(blk->disc_states()[0], 2.0);
    EXPECT_EQ(blk->output(3)[0], 2.0);
    for (int p = 0; p < 3; ++p)
        for (double v : blk->output(p)) EXPECT_EQ(v, 0.0) << "port " << p;
    const double seeds[18] = {250000, 303.15, 0.5, 1200, 323.15, 0.84, 333.15, 328.15, 325.15,
                              430000, 425000, 0.6,  300,  700,    3,    300,  700,  0};
    for (int k = 0; k < 18; ++k) EXPECT_EQ(blk->rwork()[10 + k], seeds[k]) << "slot " << 10 + k;
    const double u0[4] = {0.0056, 0.0056, 430000, 1740000};
    for (int k = 0; k < 4; ++k) EXPECT_EQ(blk->rwork()[50 + k], u0[k]);
    EXPECT_EQ(blk->rwork()[60], 0.0);
}

TEST(CondenserBlock, OutputsPerMode)
{
    testsupport::ScopedWorkdir wd(testsupport::analytic_library());
    for (double mode : {1.0, 2.0}) {
        for (const char* tipo : {"CRO_UNMIX_MIX_1", "PLATE_1_1_CU_1"}) {
            SCOPED_TRACE(std::string(tipo) + " mode " + std::to_string(mode));
            Block blk(dialog(mode, tipo));
            blk->cont_states()[1] = 1.185e6;
            blk->outputs(0, true);
            const auto y = blk->output(0);
            const auto x = blk->cont_states();
            EXPECT_EQ(y[20], 2 * x[1] - blk.u[3]);
            EXPECT_EQ(y[17], 0.0);
            if (mode == 1.0) {
                EXPECT_EQ(y[19], y[5]);
                EXPECT_EQ(y[0], x[2]);
                EXPECT_GT(y[18], 0.0);
                EXPECT_NE(y[18], x[0]) << "the fitted length, not the state";
            } else {
                EXPECT_EQ(y[18], x[0]);
                EXPECT_EQ(y[19], x[4]);
            }
            for (int k = 0; k < 5; ++k) {
                EXPECT_EQ(blk->output(1)[k], x[k]);
                EXPECT_EQ(blk->rwork()[k], x[k]);
            }
            for (int k = 0; k < 18; ++k) EXPECT_EQ(blk->rwork()[10 + k], y[k]) << k;
            for (int k = 0; k < 21; ++k) EXPECT_TRUE(std::isfinite(y[k])) << k;
        }
    }
}

TEST(CondenserBlock, DerivativesLiftSubcooledLengthAndRecord)
{
    testsupport::ScopedWorkdir wd(testsupport::analytic_library());
    Block blk(dialog(1.0));
    blk->outputs(0, true);
    for (double L3 : {0.0, -0.05}) {
        blk->cont_states()[3] = L3;
        blk->derivatives(0, true);
        EXPECT_EQ(blk->cont_states()[3], 0.02) << L3;
    }
    // A pending mode change resets even a longer subcooled zone, once.
    blk->cont_states()[3] = 0.2;
    blk->rwork()[60] = 1.0;
    blk->derivatives(0, true);
    EXPECT_EQ(blk->cont_states()[3], 0.02);
    EXPECT_EQ(blk->rwork()[60], 0.0);
    blk->cont_states()[3] = 0.2;
    blk->derivatives(0, true);
    EXPECT_EQ(blk->cont_states()[3], 0.2);
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(blk->rwork()[40 + k], blk->derivatives_vector()[k]);
        EXPECT_EQ(blk->output(2)[k], blk->derivatives_vector()[k]);
    }
    EXPECT_EQ(blk->derivatives_vector()[0], 0.0);
    EXPECT_NE(blk->derivatives_vector()[1], 0.0);
}

TEST(CondenserBlock, UpdateRecordsInputsAndKeepsModeBeforeAnyDerivative)
{
    testsupport::ScopedWorkdir wd(testsupport::analytic_library());
    Block blk(dialog(1.0));
    blk.u[0] = 0.007;
    blk.u[1] = 0.005;
    blk->cont_states()[3] = 0.01;  // below Lmin, but no derivative recorded yet
    blk->outputs(0, true);
    blk->update(0);
    EXPECT_EQ(blk->disc_states()[0], 1.0);
    EXPECT_EQ(blk->output(3)[0], 1.0);
    EXPECT_EQ(blk->rwork()[50], 0.006);
    EXPECT_EQ(blk->rwork()[51], 0.006);
    EXPECT_EQ(blk->rwork()[52], 440000);
    EXPECT_EQ(blk->rwork()[53], 1.2e6);
    // A recorded shrinking subcooled zone below Lmin switches to two zones.
    blk->rwork()[43] = -1e-3;
    blk->update(0);
    EXPECT_EQ(blk->disc_states()[0], 2.0);
    EXPECT_EQ(blk->output(3)[0], 2.0);
}

TEST(CondenserBlock, RefusesParametersItCannotUse)
{
    testsupport::ScopedWorkdir wd(testsupport::analytic_library());
    json p = dialog();
    p[0].erase("alfa2");
    std::string e = failure(p);
    EXPECT_NE(e.find("parameter 1"), std::string::npos) << e;
    EXPECT_NE(e.find("alfa2"), std::string::npos) << e;

    p = dialog();
    p[3].erase("Condenser_h3_inicial");
    e = failure(p);
    EXPECT_NE(e.find("parameter 4"), std::string::npos) << e;
    EXPECT_NE(e.find("Condenser_h3_inicial"), std::string::npos) << e;

    p = dialog();
    p[4]["Kh"] = "fast";
    e = failure(p);
    EXPECT_NE(e.find("Kh"), std::string::npos) << e;

    p = dialog();
    p[2] = 4180.0;
    e = failure(p);
    EXPECT_NE(e.find("parameter 3"), std::string::npos) << e;

    p = dialog();
    p[0]["tipo_intercambiador"] = "PLATE_1_1_CU";
    e = failure(p);
    EXPECT_NE(e.find("tipo_intercambiador"), std::string::npos) << e;
    EXPECT_NE(e.find("PLATE_1_1_CU"), std::string::npos) << e;

    for (double m : {0.0, 3.0, 1.5}) {
        p = dialog();
        p[3]["Condenser_mode"] = m;
        e = failure(p);
        EXPECT_NE(e.find("Condenser_mode"), std::string::npos) << m << ": " << e;
    }
}

TEST(CondenserBlock, FailedLengthFitStopsTheRun)
{
    testsupport::ScopedWorkdir wd(testsupport::analytic_library());
    // Upper start on the lower point: the fit cannot take its first step.
    json p = dialog();
    p[3]["Condenser_L1_inicial"] = 0.01;
    std::string e = failure(p);
    EXPECT_NE(e.find("superheated-length fit"), std::string::npos) << e;
    EXPECT_NE(e.find("cond"), std::string::npos) << e;

    // Air warmer than the refrigerant: no superheated zone of positive
    // length can cool the vapour.
    Block blk(dialog());
    blk.w[0] = 400;
    try {
        blk->outputs(0, true);
        ADD_FAILURE() << "no error";
    } catch (const SimulationError& err) {
        EXPECT_NE(std::string(err.what()).find("superheated-length fit"), std::string::npos) << err.what();
    }
    for (double v : blk->output(0)) EXPECT_EQ(v, 0.0) << "nothing published";
}

TEST(CondenserBlock, TwoCondensersOfDifferentSizes)
{
    testsupport::ScopedWorkdir wd(testsupport::analytic_library());
    json small = dialog(2.0), large = dialog(2.0);
    large[0]["N_tubos"] = 25;
    large[0]["tipo_intercambiador"] = "PLATE_1_1_CU_1";

    auto alone = [](const json& params) {
        Block b(params);
        b->outputs(0, true);
        b->derivatives(0, true);
        std::vector<double> r(b->output(0).begin(), b->output(0).end());
        r.insert(r.end(), b->derivatives_vector().begin(), b->derivatives_vector().end());
        return r;
    };
    const auto ref_small = alone(small), ref_large = alone(large);
    ASSERT_NE(ref_small, ref_large);

    Block a(small, "small"), b(large, "large");  // the large one is initialised last
    a->outputs(0, true);
    b->outputs(0, true);
    a->derivatives(0, true);
    b->derivatives(0, true);
    std::vector<double> ra(a->output(0).begin(), a->output(0).end());
    ra.insert(ra.end(), a->derivatives_vector().begin(), a->derivatives_vector().end());
    std::vector<double> rb(b->output(0).begin(), b->output(0).end());
    rb.insert(rb.end(), b->derivatives_vector().begin(), b->derivatives_vector().end());
    EXPECT_EQ(ra, ref_small);
    EXPECT_EQ(rb, ref_large);
}

TEST(CondenserBlock, ReferenceOperatingPoints)
{
    if (!testsupport::shared_available()) GTEST_SKIP() << "../shared is not available";
    if (!std::filesystem::exists(testsupport::real_library())) GTEST_SKIP() << "real property library not built";
    std::ifstream in(testsupport::shared_dir() / "reference" / "blocks" / "Condenser.json");
    ASSERT_TRUE(in);
    const json ref = json::parse(in);
    testsupport::ScopedWorkdir wd(testsupport::real_library());
    PluginRegistry reg(testsupport::blocks_dir());
    int n = 0;
    for (const auto& point : ref["points"]) {
        EvaluationRequest req;
        req.block = "Condenser";
        req.params = point["params"];
        req.inputs = point["inputs"];
        const json out = evaluate_block(reg, req);
        const std::string what = point["params"][0]["tipo_intercambiador"].get<std::string>() + " mode " +
                                 std::to_string(point["params"][3]["Condenser_mode"].get<double>());
        double worst = 0;
        for (int k = 0; k < 21; ++k) {
            if (point["port0"][k].is_null()) continue;
            const double want = point["port0"][k], got = out["outputs"][0][k];
            const double d = want == 0 ? std::fabs(got) : rel(got, want);
            worst = std::max(worst, d);
            EXPECT_LT(d, 2e-6) << what << " port 0 element " << k << ": " << got << " vs " << want;
        }
        for (int k = 0; k < 5; ++k) {
            const double want = point["derivatives"][k], got = out["derivatives"][k];
            const double d = want == 0 ? std::fabs(got) : rel(got, want);
            worst = std::max(worst, d);
            EXPECT_LT(d, 2e-6) << what << " derivative " << k << ": " << got << " vs " << want;
        }
        std::printf("  %-24s worst relative difference %.2e\n", what.c_str(), worst);
        ++n;
    }
    EXPECT_EQ(n, 6);
}
