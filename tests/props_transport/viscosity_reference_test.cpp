// Viscosity against the reference property tables: every reference row that gives the viscosity together
// with the temperature and density of the same state (saturated liquid and vapour by pressure, single-phase
// states by pressure and temperature) is recomputed from (T, rho) and must agree to 1e-6 relative.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include "test_support.h"
#include "viscosity_models.h"
#ifdef PROPS_TRANSPORT_HAVE_JSON
#include "json_residual_eos.h"
#endif

namespace {

using namespace transport_test;
namespace tr = fluidprops::transport;

struct FluidCase {
    const char* csv;        // reference file
    const char* canonical;  // fluid definition name
    bool needs_eos;
};

constexpr FluidCase kCases[] = {
    {"R134a.csv", "R134a", false},          {"R290.csv", "n-Propane", false},
    {"R600a.csv", "IsoButane", false},      {"Air.csv", "Air", false},
    {"R410A.csv", "R410A", false},          {"R407C.csv", "R407C", false},
    {"R404A.csv", "R404A", false},          {"R744.csv", "CarbonDioxide", false},
    {"R32.csv", "R32", true},               {"R1234yf.csv", "R1234yf", true},
    {"R1234zeE.csv", "R1234ze(E)", true},   {"Water.csv", "Water", true},
};

struct ViscosityState {
    double T, rho_mass, expected;
    std::string where;
};

// Pairs each reference viscosity with the temperature and density reported for the same inputs.
std::vector<ViscosityState> states_with_viscosity(const std::vector<CsvRow>& rows) {
    std::map<std::string, double> T_of, D_of;
    for (const CsvRow& r : rows) {
        if (r.output == "T") T_of[r.input_key()] = r.result;
        if (r.output == "D") D_of[r.input_key()] = r.result;
    }
    std::vector<ViscosityState> out;
    for (const CsvRow& r : rows) {
        if (r.output != "V") continue;
        const std::string key = r.input_key();
        double T;
        if (r.name2 == "T") T = r.v2();
        else if (r.name1 == "T") T = r.v1();
        else if (auto it = T_of.find(key); it != T_of.end()) T = it->second;
        else continue;
        const auto d = D_of.find(key);
        if (d == D_of.end()) continue;
        out.push_back({T, d->second, r.result, r.name1 + "=" + r.value1 + " " + r.name2 + "=" + r.value2});
    }
    return out;
}

class ViscosityReference : public ::testing::TestWithParam<FluidCase> {};

TEST_P(ViscosityReference, MatchesReferenceRowsAtTheirOwnTemperatureAndDensity) {
    const FluidCase c = GetParam();
    const std::filesystem::path csv = std::filesystem::path("reference") / "props" / c.csv;
    if (!shared_file_exists(csv)) GTEST_SKIP() << "reference data not present";

    std::unique_ptr<fluidprops::ViscosityEosAccess> eos;
    if (c.needs_eos) {
#ifdef PROPS_TRANSPORT_HAVE_JSON
        const std::filesystem::path json = std::filesystem::path("fluids") / (std::string(c.canonical) + ".json");
        if (!shared_file_exists(json)) GTEST_SKIP() << "fluid definition not present";
        eos = std::make_unique<JsonResidualEos>(located(json));
#else
        GTEST_SKIP() << "no JSON reader: residual Helmholtz energy not available to the test";
#endif
    } else {
        eos = std::make_unique<NoEosAccess>();
    }

    const tr::ViscosityModel* model = tr::find_viscosity_model(c.canonical);
    ASSERT_NE(model, nullptr);
    const auto states = states_with_viscosity(read_reference_csv(located(csv)));
    ASSERT_GE(states.size(), 20u) << "too few reference states with T, D and V";

    double worst = 0.0;
    std::string worst_at;
    for (const ViscosityState& s : states) {
        const double eta = fluidprops::viscosity(c.canonical, s.T, s.rho_mass / model->molar_mass, *eos);
        const double dev = std::fabs(eta / s.expected - 1.0);
        EXPECT_LE(dev, 1e-6) << c.canonical << " at " << s.where << ": T=" << s.T << " D=" << s.rho_mass
                             << " eta=" << eta << " reference " << s.expected;
        if (dev > worst) worst = dev, worst_at = s.where;
    }
    std::printf("[ viscosity ] %-14s %3zu states, worst relative deviation %.2e at %s\n", c.canonical,
                states.size(), worst, worst_at.c_str());
}

INSTANTIATE_TEST_SUITE_P(AllFluids, ViscosityReference, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<FluidCase>& case_info) {
                             std::string n = case_info.param.canonical;
                             std::replace_if(n.begin(), n.end(), [](char ch) { return !std::isalnum(ch); }, '_');
                             return n;
                         });

#ifdef PROPS_TRANSPORT_HAVE_JSON
// The test's own Helmholtz evaluator must itself be right before it can vouch for anything: the pressure at
// the anchor state stored in each fluid file is reproduced.
TEST(JsonResidualEosSelfCheck, ReproducesStoredAnchorPressure) {
    for (const char* name : {"R32", "R1234yf", "R1234ze(E)", "Water"}) {
        const std::filesystem::path json = std::filesystem::path("fluids") / (std::string(name) + ".json");
        if (!shared_file_exists(json)) GTEST_SKIP() << "fluid definitions not present";
        const JsonResidualEos eos(located(json));
        EXPECT_NEAR(eos.pressure(eos.anchor_T(), eos.anchor_rho()) / eos.anchor_p(), 1.0, 1e-8) << name;
    }
}
#endif

}  // namespace
