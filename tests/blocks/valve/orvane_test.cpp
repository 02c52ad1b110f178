// The expansion valve against the analytic property library, where the
// density of the entering liquid is exactly 1200 kg/m3, so the orifice
// relation can be checked to the last bit.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

#include "block_instance.h"
#include "errors.h"
#include "evaluate.h"
#include "simulation_error.h"
#include "test_workdir.h"

extern "C" {
#include "sfun_runtime.h"
}

using namespace cyclesim;
using nlohmann::json;

namespace {

const json kParams = json::parse(R"([{"C_eev": 2.5e-6}, "Analytic"])");

json run_valve(const json& params, double Av, double pc, double pe, double h)
{
    PluginRegistry reg(testsupport::blocks_dir());
    EvaluationRequest req;
    req.block = "Orvane";
    req.params = params;
    req.inputs = json::array({json::array({Av, pc, pe, h})});
    return evaluate_block(reg, req);
}

double flow(const json& result)
{
    const auto& v = result["outputs"][0][0];
    return v.is_number() ? v.get<double>() : std::nan("");
}

std::string error_of(const json& params)
{
    return testsupport::simulation_error_of([&] { run_valve(params, 0.5, 1.2e6, 3e5, 1.5e5); });
}

}  // namespace

TEST(Orvane, OrificeRelationWithLiquidDensity)
{
    testsupport::ScopedWorkdir wd(testsupport::analytic_library());
    // 1.5e5 J/kg is liquid at 1.2e6 Pa in the analytic fluid (hf = 2.2e5).
    const double expected = (2.5e-6 * 0.4) * std::sqrt((1.2e6 - 3e5) * 2.0 * 1200.0);
    EXPECT_EQ(flow(run_valve(kParams, 0.4, 1.2e6, 3e5, 1.5e5)), expected);
    // The density follows the inlet state: two-phase inlet, lower density, lower flow.
    EXPECT_LT(flow(run_valve(kParams, 0.4, 1.2e6, 3e5, 3.0e5)), expected);
}

TEST(Orvane, PressureDifferenceAndOpeningEdges)
{
    testsupport::ScopedWorkdir wd(testsupport::analytic_library());
    EXPECT_EQ(flow(run_valve(kParams, 0.4, 8e5, 8e5, 1.5e5)), 0.0);
    EXPECT_EQ(flow(run_valve(kParams, 0.0, 1.2e6, 3e5, 1.5e5)), 0.0);
    // Reversed pressure difference: no flow relation; the output is NaN and it
    // is the host's business to stop on it.
    EXPECT_TRUE(std::isnan(flow(run_valve(kParams, 0.4, 3e5, 8e5, 1.5e5))));
    // A negative opening would give the same flow backwards, one in percent
    // a flow a hundred times too large: both stop the run. Fully open passes.
    for (const auto& [opening, words] : std::vector<std::pair<double, std::string>>{
             {-0.4, "opening Av (input 0) is -0.4 at t = 0"}, {50.0, "opening Av (input 0) is 50 at t = 0; it must lie in 0..1"}}) {
        std::string message;
        try {
            run_valve(kParams, opening, 1.2e6, 3e5, 1.5e5);
        } catch (const SimulationError& e) {
            message = e.what();
        }
        EXPECT_NE(message.find(words), std::string::npos) << message;
    }
    EXPECT_GT(flow(run_valve(kParams, 1.0, 1.2e6, 3e5, 1.5e5)), 0.0);
}

TEST(Orvane, DialogValuesAreReadAtEveryOutputCall)
{
    testsupport::ScopedWorkdir wd(testsupport::analytic_library());
    PluginRegistry reg(testsupport::blocks_dir());
    BlockInstance valve(reg.load("Orvane"), "valve", dialog_from_json(kParams, "valve"));
    double u[4] = {0.4, 1.2e6, 3e5, 1.5e5};
    valve.initialize_sizes();
    for (int i = 0; i < 4; ++i) valve.connect_input(0, i, &u[i]);
    valve.initialize_sample_times();
    valve.check_parameters();
    valve.start();
    valve.initialize_conditions();
    valve.outputs(0.0, true);
    const double first = valve.output(0)[0];
    valve.set_parameter(0, dialog_value_from_json(json::parse(R"({"C_eev": 5e-6})"), "p"));
    valve.outputs(0.1, true);
    EXPECT_DOUBLE_EQ(valve.output(0)[0], 2.0 * first);
    // An unknown refrigerant reaches the library, whose error value is no
    // density: the call stops instead of publishing an infinite flow.
    valve.set_parameter(1, dialog_value_from_json(json("NoSuchFluid"), "p"));
    try {
        valve.outputs(0.2, true);
        ADD_FAILURE() << "flow " << valve.output(0)[0] << " published for an unknown refrigerant";
    } catch (const SimulationError& e) {
        EXPECT_NE(std::string(e.what()).find("no density of \"NoSuchFluid\""), std::string::npos) << e.what();
    }
}

TEST(Orvane, RefusesWhatItCannotModel)
{
    testsupport::ScopedWorkdir wd(testsupport::analytic_library());
    auto message = [](const json& params, double Av, double pc, double pe, double h) {
        try {
            const double m = flow(run_valve(params, Av, pc, pe, h));
            return "flow " + std::to_string(m);
        } catch (const SimulationError& e) {
            return std::string(e.what());
        }
    };
    // A negative flow coefficient would turn the flow around.
    std::string m = message(json::parse(R"([{"C_eev": -2.5e-6}, "Analytic"])"), 0.4, 1.2e6, 3e5, 1.5e5);
    EXPECT_NE(m.find("field \"C_eev\" of dialog parameter 1 (flow coefficient) must be a finite number >= 0, got -2.5e-06"), std::string::npos) << m;
    // Negative absolute pressures at either side.
    m = message(kParams, 0.4, 1.2e6, -3e5, 1.5e5);
    EXPECT_NE(m.find("outlet pressure pe (input 2) is -300000 Pa"), std::string::npos) << m;
    m = message(kParams, 0.4, -1.0, 0.0, 1.5e5);
    EXPECT_NE(m.find("inlet pressure pc_out (input 1) is -1 Pa"), std::string::npos) << m;
    // Unknown refrigerant: the library's HUGE_VAL is no density.
    m = message(json::parse(R"([{"C_eev": 2.5e-6}, "R999"])"), 0.4, 1.2e6, 3e5, 1.5e5);
    EXPECT_NE(m.find("no density of \"R999\" at the valve inlet (pc_out = 1.2e+06 Pa"), std::string::npos) << m;
    // A zero coefficient and a zero outlet pressure are still states it models.
    EXPECT_EQ(flow(run_valve(json::parse(R"([{"C_eev": 0}, "Analytic"])"), 0.4, 1.2e6, 3e5, 1.5e5)), 0.0);
    EXPECT_GT(flow(run_valve(kParams, 0.4, 1.2e6, 0.0, 1.5e5)), 0.0);
}

TEST(Orvane, RefusesParametersItCannotRead)
{
    testsupport::ScopedWorkdir wd(testsupport::analytic_library());
    std::string m = error_of(json::parse(R"([{"Ceev": 1e-6}, "Analytic"])"));
    EXPECT_NE(m.find("\"C_eev\""), std::string::npos) << m;
    EXPECT_NE(m.find("parameter 1"), std::string::npos) << m;
    m = error_of(json::parse(R"([{"C_eev": "big"}, "Analytic"])"));
    EXPECT_NE(m.find("must be a real number"), std::string::npos) << m;
    m = error_of(json::parse(R"([{"C_eev": []}, "Analytic"])"));
    EXPECT_NE(m.find("\"C_eev\""), std::string::npos) << m;
    m = error_of(json::parse(R"([2.5e-6, "Analytic"])"));
    EXPECT_NE(m.find("record"), std::string::npos) << m;
    m = error_of(json::parse(R"([{"C_eev": 1e-6}, 134])"));
    EXPECT_NE(m.find("parameter 2 (refrigerant name) must be text"), std::string::npos) << m;
    m = error_of(json::parse(R"([{"C_eev": 1e-6}, ""])"));
    EXPECT_NE(m.find("empty"), std::string::npos) << m;
    m = error_of(json::parse(R"([{"C_eev": 1e-6}])"));
    EXPECT_NE(m.find("declares 2"), std::string::npos) << m;
}

TEST(Orvane, BindingFailuresPrintTheTextsAndStop)
{
    std::string console;
    sfun_set_print_sink([](const char* t, void* ctx) { static_cast<std::string*>(ctx)->append(t); }, &console);
    {
        testsupport::ScopedWorkdir wd("");  // no library at all
        std::string m = error_of(kParams);
        EXPECT_NE(m.find("cannot load the property library './Tarvex_files/libCoolProp.so'"), std::string::npos) << m;
        EXPECT_NE(m.find("mdlStart"), std::string::npos) << m;
        EXPECT_NE(console.find("Error in mdlStart--lib_handle\n"), std::string::npos);
        EXPECT_NE(console.find("Error in mdlStart-- PropsSI\n"), std::string::npos);
    }
    console.clear();
    {
        testsupport::ScopedWorkdir wd(testsupport::no_entry_library());
        std::string m = error_of(kParams);
        EXPECT_NE(m.find("has no entry 'PropsSI'"), std::string::npos) << m;
        EXPECT_EQ(console.find("Error in mdlStart--lib_handle"), std::string::npos);
        EXPECT_NE(console.find("Error message: ["), std::string::npos);
        EXPECT_NE(console.find("Error in mdlStart-- PropsSI\n"), std::string::npos);
    }
    sfun_set_print_sink(nullptr, nullptr);
}

namespace {
struct CommandResult {
    int status;
    std::string out;
};
CommandResult run_command(const std::string& cmd)
{
    CommandResult r{-1, ""};
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    while (size_t n = fread(buf, 1, sizeof buf, p)) r.out.append(buf, n);
    r.status = pclose(p);
    return r;
}
}  // namespace

TEST(Orvane, CyclesimEvalEndToEnd)
{
    testsupport::ScopedWorkdir wd(testsupport::analytic_library());
    const std::string prog = testsupport::cyclesim_program().string();
    auto ok = run_command(prog + " eval Orvane --params '[{\"C_eev\": 2.5e-6}, \"Analytic\"]'" +
                          " --inputs '[[0.4, 1.2e6, 3e5, 1.5e5]]' 2>/dev/null");
    ASSERT_EQ(ok.status, 0) << ok.out;
    auto result = json::parse(ok.out);
    EXPECT_EQ(result["outputs"][0][0].get<double>(), (2.5e-6 * 0.4) * std::sqrt((1.2e6 - 3e5) * 2.0 * 1200.0));
    EXPECT_TRUE(result["states"].empty());

    auto nan = run_command(prog + " eval Orvane --params '[{\"C_eev\": 2.5e-6}, \"Analytic\"]'" +
                           " --inputs '[[0.4, 3e5, 8e5, 1.5e5]]' 2>/dev/null");
    ASSERT_EQ(nan.status, 0);
    EXPECT_EQ(json::parse(nan.out)["outputs"][0][0], "NaN");

    auto wrong_width = run_command(prog + " eval Orvane --params '[{\"C_eev\": 1}, \"Analytic\"]'" +
                                   " --inputs '[[0.4, 3e5]]' 2>&1");
    EXPECT_NE(wrong_width.status, 0);
    EXPECT_NE(wrong_width.out.find("input port 0 has width 4, 2 values given"), std::string::npos) << wrong_width.out;
}

TEST(Orvane, CyclesimEvalWithoutLibraryExitsNonZero)
{
    testsupport::ScopedWorkdir wd("");
    // eval uses the working directory's Tarvex_files/libCoolProp.so when there
    // is one (else it links ours): here it is a file that is no library.
    std::filesystem::create_directories("Tarvex_files");
    std::ofstream("Tarvex_files/libCoolProp.so") << "not a library";
    auto r = run_command(testsupport::cyclesim_program().string() +
                         " eval Orvane --params '[{\"C_eev\": 2.5e-6}, \"R134a\"]' --inputs '[[0.4, 1.2e6, 3e5, 2.5e5]]' 2>&1");
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.out.find("Error in mdlStart--lib_handle"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("cannot load the property library"), std::string::npos) << r.out;
}

TEST(Orvane, TwoValvesShareOneBindingUntilTheLastTerminates)
{
    testsupport::ScopedWorkdir wd(testsupport::analytic_library());
    PluginRegistry reg(testsupport::blocks_dir());
    double u[4] = {0.4, 1.2e6, 3e5, 1.5e5};
    auto make = [&](const char* name) {
        auto b = std::make_unique<BlockInstance>(reg.load("Orvane"), name, dialog_from_json(kParams, name));
        b->initialize_sizes();
        for (int i = 0; i < 4; ++i) b->connect_input(0, i, &u[i]);
        b->initialize_sample_times();
        b->check_parameters();
        b->start();
        b->initialize_conditions();
        return b;
    };
    auto first = make("v1");
    auto second = make("v2");
    first->outputs(0.0, true);
    first->terminate();
    // The second valve still computes after the first one let the library go.
    second->outputs(0.0, true);
    EXPECT_EQ(second->output(0)[0], (2.5e-6 * 0.4) * std::sqrt((1.2e6 - 3e5) * 2.0 * 1200.0));
}
