// End-to-end: viscosity and brine rows of the reference tables queried through the library's C++ entry,
// i.e. with the state found by the library's own flashes and the EOS quantities supplied by its core.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "fluidprops/error.h"
#include "fluidprops/fluids.h"
#include "fluidprops/props_si.h"
#include "test_support.h"
#include "viscosity.h"

namespace {

using namespace transport_test;

class ViscosityThroughCore : public ::testing::TestWithParam<const char*> {};

TEST_P(ViscosityThroughCore, ReferenceViscosityRows) {
    const std::filesystem::path csv = std::filesystem::path("reference") / "props" / GetParam();
    if (!shared_file_exists(csv)) GTEST_SKIP() << "reference data not present";
    int n = 0;
    double worst = 0.0;
    for (const CsvRow& r : read_reference_csv(located(csv))) {
        if (r.output != "V") continue;
        ++n;
        double v = 0.0;
        try {
            v = fluidprops::props_si(r.output, r.name1, r.v1(), r.name2, r.v2(), r.fluid);
        } catch (const fluidprops::PropertyError& e) {
            ADD_FAILURE() << r.fluid << " " << r.name1 << "=" << r.value1 << " " << r.name2 << "=" << r.value2
                          << ": " << e.what();
            continue;
        }
        const double dev = std::fabs(v / r.result - 1.0);
        worst = std::max(worst, dev);
        EXPECT_LE(dev, 1e-6) << r.fluid << " " << r.name1 << "=" << r.value1 << " " << r.name2 << "=" << r.value2
                             << ": " << v << " vs " << r.result;
    }
    EXPECT_GT(n, 0);
    std::printf("[ via core  ] %-20s %3d viscosity rows, worst relative deviation %.2e\n", GetParam(), n, worst);
}

INSTANTIATE_TEST_SUITE_P(AllFluids, ViscosityThroughCore,
                         ::testing::Values("R134a.csv", "R32.csv", "R290.csv", "R1234yf.csv", "R1234zeE.csv",
                                           "R744.csv", "R600a.csv", "Water.csv", "R410A.csv", "R407C.csv",
                                           "R404A.csv", "Air.csv"),
                         [](const ::testing::TestParamInfo<const char*>& case_info) {
                             std::string n = case_info.param;
                             n = n.substr(0, n.find('.'));
                             return n;
                         });

// Saturated-liquid and -vapour viscosities computed independently from the published formulations, in micro
// Pa s to 7 digits, at the pressure given. These need no external data, so the correlations that depend on
// the EOS (residual entropy, dp/drho) are checked in every build that has the core.
TEST(ViscosityThroughCore, SaturatedCheckValues) {
    struct Point { const char* fluid; double p, eta_liq, eta_vap; };
    const Point points[] = {
        {"R134a", 1e6, 162.7143, 12.34254},     {"R32", 1e6, 140.3971, 12.69335},
        {"n-Propane", 1e6, 95.1875, 8.34331},   {"R1234yf", 1e6, 121.3853, 13.32979},
        {"R1234ze(E)", 1e6, 137.8775, 13.71804}, {"CarbonDioxide", 3.5e6, 100.1219, 14.57769},
        {"IsoButane", 5e5, 132.4570, 7.84635},  {"Water", 101325, 281.6580, 12.23126},
        {"R410A", 1e6, 150.4147, 12.47671},     {"R407C", 1e6, 163.7803, 12.56591},
        {"R404A", 1e6, 141.1782, 12.43310},     {"Air", 101325, 166.6772, 5.81862},
    };
    for (const Point& pt : points) {
        const double eta_l = fluidprops::props_si("V", "P", pt.p, "Q", 0.0, pt.fluid) * 1e6;
        const double eta_v = fluidprops::props_si("V", "P", pt.p, "Q", 1.0, pt.fluid) * 1e6;
        EXPECT_NEAR(eta_l / pt.eta_liq, 1.0, 1e-6) << pt.fluid << " liquid " << eta_l;
        EXPECT_NEAR(eta_v / pt.eta_vap, 1.0, 1e-6) << pt.fluid << " vapour " << eta_v;
    }
}

// IAPWS R12-08 Table 5: near-critical water at 647.35 K, critical enhancement with the core's IAPWS-95.
TEST(ViscosityThroughCore, IapwsTable5WithCoreEos) {
    class CoreEos : public fluidprops::ViscosityEosAccess {
    public:
        explicit CoreEos(const fluidprops::Fluid& f) : f_(f) {}
        double residual_molar_entropy(double T, double rho) const override { return f_.residual_entropy(T, rho); }
        double dpdrho_T(double T, double rho) const override {
            double p, dp;
            f_.pressure(T, rho, p, dp);
            return dp;
        }

    private:
        const fluidprops::Fluid& f_;
    };
    const fluidprops::Fluid* water = fluidprops::find_fluid("Water");
    ASSERT_NE(water, nullptr);
    const CoreEos eos(*water);
    const double M = fluidprops::props_si("M", "P", 101325.0, "T", 300.0, "Water");
    struct Point { double rho, mu; };
    for (const Point& p : {Point{122.0, 25.520677}, Point{222.0, 31.337589}, Point{272.0, 36.228143},
                           Point{322.0, 42.961579}, Point{372.0, 45.688204}, Point{422.0, 49.436256}}) {
        EXPECT_NEAR(fluidprops::viscosity("Water", 647.35, p.rho / M, eos) * 1e6, p.mu, 5e-6) << "rho=" << p.rho;
    }
}

TEST(BrineThroughCore, ReferenceRowsWithBothSpellings) {
    const std::filesystem::path csv = std::filesystem::path("reference") / "props" / "INCOMP_MEG-30.csv";
    if (!shared_file_exists(csv)) GTEST_SKIP() << "reference data not present";
    for (const CsvRow& r : read_reference_csv(located(csv))) {
        const double tol = 1e-9 * std::fabs(r.result) + (r.output == "H" ? 1e-6 : 0.0);
        EXPECT_NEAR(fluidprops::props_si(r.output, r.name1, r.v1(), r.name2, r.v2(), r.fluid), r.result, tol);
        EXPECT_NEAR(fluidprops::props_si(r.output, r.name2, r.v2(), r.name1, r.v1(), "INCOMP::MEG[0.3]"), r.result,
                    tol);
    }
    EXPECT_THROW(fluidprops::props_si("C", "P", 1e5, "T", 250.0, "INCOMP::MEG-30%"), fluidprops::PropertyError);
}

}  // namespace
