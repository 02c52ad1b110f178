// Glycol brine: reference data, freezing and range limits, name spellings and key aliases.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "brine_models.h"
#include "test_support.h"

namespace {

using namespace transport_test;
namespace inc = fluidprops::incompressible;

constexpr const char* kMeg30 = "INCOMP::MEG-30%";

double tolerance_for(const std::string& output, double reference) {
    // Enthalpy crosses zero at its reference state (293.15 K), so it gets an absolute floor.
    if (output == "H") return 1e-9 * std::fabs(reference) + 1e-6;
    return 1e-9 * std::fabs(reference);
}

TEST(Brine, MatchesReferenceTable) {
    const std::filesystem::path csv = std::filesystem::path("reference") / "props" / "INCOMP_MEG-30.csv";
    if (!shared_file_exists(csv)) GTEST_SKIP() << "reference data not present";
    const auto rows = read_reference_csv(located(csv));
    ASSERT_GE(rows.size(), 300u);
    int checked = 0;
    for (const CsvRow& r : rows) {
        const double v = inc::brine_props_si(r.output, r.name1, r.v1(), r.name2, r.v2(), r.fluid);
        EXPECT_NEAR(v, r.result, tolerance_for(r.output, r.result))
            << r.output << " at " << r.name1 << "=" << r.value1 << " " << r.name2 << "=" << r.value2;
        ++checked;
    }
    EXPECT_EQ(checked, static_cast<int>(rows.size()));
}

TEST(Brine, RefusedQueriesOfReferenceAreRefused) {
    const std::filesystem::path csv = std::filesystem::path("reference") / "props" / "bad_queries.csv";
    if (!shared_file_exists(csv)) GTEST_SKIP() << "reference data not present";
    int n = 0;
    for (const CsvRow& r : read_reference_csv(located(csv))) {
        if (r.fluid.rfind("INCOMP::", 0) != 0) continue;
        EXPECT_THROW(inc::brine_props_si(r.output, r.name1, r.v1(), r.name2, r.v2(), r.fluid),
                     fluidprops::PropertyError)
            << r.output << " " << r.value2 << " " << r.fluid;
        ++n;
    }
    EXPECT_GT(n, 0);
}

// A few states from the reference table, kept here so the brine is checked without external data.
TEST(Brine, StoredCheckValues) {
    struct Point { const char* out; double p, T, value; };
    const Point points[] = {
        {"C", 1e5, 260.0, 3617.1917679514531},   {"D", 1e5, 260.0, 1048.152973098265},
        {"H", 1e5, 260.0, -121599.63263468943},  {"V", 1e5, 260.0, 0.0074987109730219039},
        {"C", 1e5, 262.0, 3623.4706391583459},   {"H", 1e5, 262.0, -114359.28955889984},
        {"H", 3e5, 260.0, -121418.213539381},     {"C", 5e5, 320.0, 3794.0865293828942},
        {"D", 5e5, 320.0, 1025.1410942513678},   {"H", 5e5, 320.0, 101184.63669546283},
        {"V", 5e5, 320.0, 0.0011089719980710035},
    };
    for (const Point& p : points) {
        const double v = inc::brine_props_si(p.out, "P", p.p, "T", p.T, kMeg30);
        EXPECT_NEAR(v, p.value, tolerance_for(p.out, p.value)) << p.out << " T=" << p.T << " p=" << p.p;
    }
}

TEST(Brine, FreezingLimitRefusedWithTemperatureAndLimitInMessage) {
    const inc::BrineName parsed = *inc::parse_brine_name(kMeg30);
    const double Tf = inc::freezing_temperature(*parsed.model, parsed.mass_fraction);
    // 30 % ethylene glycol freezes at about -14.6 C.
    EXPECT_NEAR(Tf, 258.57, 0.05);
    EXPECT_NO_THROW(inc::brine_props_si("C", "P", 1e5, "T", Tf + 1e-6, kMeg30));
    EXPECT_THROW(inc::brine_props_si("C", "P", 1e5, "T", Tf - 1e-3, kMeg30), fluidprops::PropertyError);
    try {
        inc::brine_props_si("C", "P", 1e5, "T", 255.0, kMeg30);
        FAIL() << "state below the freezing point accepted";
    } catch (const fluidprops::PropertyError& e) {
        const std::string msg = e.what();
        EXPECT_NE(msg.find("255"), std::string::npos) << msg;
        EXPECT_NE(msg.find("258.57"), std::string::npos) << msg;
        EXPECT_NE(msg.find("freez"), std::string::npos) << msg;
    }
    // More glycol, lower freezing point: 40 % is liquid at 255 K.
    EXPECT_NO_THROW(inc::brine_props_si("C", "P", 1e5, "T", 255.0, "INCOMP::MEG-40%"));
}

TEST(Brine, RangeLimitsRefused) {
    EXPECT_THROW(inc::brine_props_si("D", "P", 1e5, "T", 373.16, kMeg30), fluidprops::PropertyError);
    EXPECT_NO_THROW(inc::brine_props_si("D", "P", 1e5, "T", 373.15, kMeg30));
    EXPECT_THROW(inc::brine_props_si("D", "P", 1e5, "T", 300.0, "INCOMP::MEG-61%"), fluidprops::PropertyError);
    EXPECT_THROW(inc::brine_props_si("D", "P", 1e5, "T", 300.0, "INCOMP::MEG[-0.1]"), fluidprops::PropertyError);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_THROW(inc::brine_props_si("D", "P", 1e5, "T", nan, kMeg30), fluidprops::PropertyError);
    EXPECT_THROW(inc::brine_props_si("H", "P", nan, "T", 300.0, kMeg30), fluidprops::PropertyError);
    EXPECT_THROW(inc::brine_props_si("H", "P", -1.0, "T", 300.0, kMeg30), fluidprops::PropertyError);
}

TEST(Brine, PressureOutsideTheRangeRefused) {
    // A liquid circuit runs between a few kPa and a few MPa; absurd pressures
    // would otherwise pass into the enthalpy's pressure term unnoticed.
    for (double p : {1e300, 1e9, 1.0e8 * (1.0 + 1e-12), 0.5, 1e-300}) {
        try {
            inc::brine_props_si("C", "P", p, "T", 300.0, kMeg30);
            ADD_FAILURE() << "accepted p = " << p;
        } catch (const fluidprops::PropertyError& e) {
            EXPECT_NE(std::string(e.what()).find("pressure"), std::string::npos) << e.what();
        }
    }
    for (double p : {1.0, 2e3, 2e5, 1e7, 1e8}) EXPECT_NO_THROW(inc::brine_props_si("H", "T", 300.0, "P", p, kMeg30)) << p;
}

TEST(Brine, BothNameSpellingsGiveIdenticalNumbers) {
    for (const char* out : {"C", "D", "H", "V"}) {
        for (double T : {260.0, 293.15, 318.0}) {
            const double a = inc::brine_props_si(out, "P", 2e5, "T", T, "INCOMP::MEG-30%");
            EXPECT_EQ(a, inc::brine_props_si(out, "P", 2e5, "T", T, "INCOMP::MEG[0.3]")) << out;
            EXPECT_EQ(a, inc::brine_props_si(out, "P", 2e5, "T", T, "INCOMP::MEG[0.30]")) << out;
            EXPECT_EQ(a, inc::brine_props_si(out, "T", T, "P", 2e5, "INCOMP::MEG-30%")) << out << " (T,P) order";
        }
    }
    // Another fraction in both spellings, and one that differs.
    EXPECT_EQ(inc::brine_props_si("D", "P", 1e5, "T", 280.0, "INCOMP::MEG-45%"),
              inc::brine_props_si("D", "P", 1e5, "T", 280.0, "INCOMP::MEG[0.45]"));
    EXPECT_GT(inc::brine_props_si("D", "P", 1e5, "T", 280.0, "INCOMP::MEG-45%"),
              inc::brine_props_si("D", "P", 1e5, "T", 280.0, "INCOMP::MEG-30%"));
}

TEST(Brine, NameRecognition) {
    EXPECT_TRUE(inc::is_brine_name("INCOMP::MEG-30%"));
    EXPECT_TRUE(inc::is_brine_name("INCOMP::MEG[0.3]"));
    EXPECT_TRUE(inc::is_brine_name("INCOMP::MEG-0%"));
    EXPECT_TRUE(inc::is_brine_name("INCOMP::MEG[0.6]"));
    EXPECT_TRUE(inc::is_brine_name("INCOMP::MEG-12.5%"));
    EXPECT_FALSE(inc::is_brine_name("INCOMP::MEG-99%"));
    EXPECT_FALSE(inc::is_brine_name("INCOMP::MEG-30"));
    EXPECT_FALSE(inc::is_brine_name("INCOMP::MEG[0.3"));
    EXPECT_FALSE(inc::is_brine_name("INCOMP::MEG-%"));
    EXPECT_FALSE(inc::is_brine_name("INCOMP::MPG-30%"));
    EXPECT_FALSE(inc::is_brine_name("MEG-30%"));
    EXPECT_FALSE(inc::is_brine_name("R134a"));
    EXPECT_FALSE(inc::is_brine_name(""));
    try {
        inc::brine_props_si("D", "P", 1e5, "T", 300.0, "INCOMP::MEG-99%");
        FAIL();
    } catch (const fluidprops::PropertyError& e) {
        EXPECT_NE(std::string(e.what()).find("0.99"), std::string::npos) << e.what();
    }
}

TEST(Brine, KeyAliasesAndUnsupportedQueries) {
    const double C = inc::brine_props_si("C", "P", 1e5, "T", 300.0, kMeg30);
    const double D = inc::brine_props_si("D", "P", 1e5, "T", 300.0, kMeg30);
    const double H = inc::brine_props_si("H", "P", 1e5, "T", 300.0, kMeg30);
    const double V = inc::brine_props_si("V", "P", 1e5, "T", 300.0, kMeg30);
    EXPECT_EQ(C, inc::brine_props_si("Cpmass", "P", 1e5, "T", 300.0, kMeg30));
    EXPECT_EQ(C, inc::brine_props_si("CPMASS", "P", 1e5, "T", 300.0, kMeg30));
    EXPECT_EQ(D, inc::brine_props_si("Dmass", "P", 1e5, "T", 300.0, kMeg30));
    EXPECT_EQ(D, inc::brine_props_si("DMASS", "P", 1e5, "T", 300.0, kMeg30));
    EXPECT_EQ(H, inc::brine_props_si("Hmass", "P", 1e5, "T", 300.0, kMeg30));
    EXPECT_EQ(H, inc::brine_props_si("HMASS", "P", 1e5, "T", 300.0, kMeg30));
    EXPECT_EQ(V, inc::brine_props_si("viscosity", "P", 1e5, "T", 300.0, kMeg30));
    EXPECT_EQ(V, inc::brine_props_si("VISCOSITY", "P", 1e5, "T", 300.0, kMeg30));
    EXPECT_EQ(300.0, inc::brine_props_si("T", "P", 1e5, "T", 300.0, kMeg30));
    EXPECT_EQ(1e5, inc::brine_props_si("P", "P", 1e5, "T", 300.0, kMeg30));
    EXPECT_THROW(inc::brine_props_si("S", "P", 1e5, "T", 300.0, kMeg30), fluidprops::PropertyError);
    EXPECT_THROW(inc::brine_props_si("cpmass", "P", 1e5, "T", 300.0, kMeg30), fluidprops::PropertyError);
    EXPECT_THROW(inc::brine_props_si("D", "P", 1e5, "Q", 0.0, kMeg30), fluidprops::PropertyError);
    EXPECT_THROW(inc::brine_props_si("D", "T", 300.0, "T", 300.0, kMeg30), fluidprops::PropertyError);
}

// Enthalpy consistency: at constant pressure dh/dT = cp + p d[v (1 - T beta)]/dT; at the reference pressure
// and small steps it is cp to within that pressure term, which is tiny for a liquid.
TEST(Brine, EnthalpySlopeIsSpecificHeat) {
    for (double T : {262.0, 290.0, 330.0, 360.0}) {
        const double h1 = inc::brine_props_si("H", "P", 101325.0, "T", T - 0.01, kMeg30);
        const double h2 = inc::brine_props_si("H", "P", 101325.0, "T", T + 0.01, kMeg30);
        const double cp = inc::brine_props_si("C", "P", 101325.0, "T", T, kMeg30);
        EXPECT_NEAR((h2 - h1) / 0.02 / cp, 1.0, 2e-3) << "T=" << T;
    }
    EXPECT_NEAR(inc::brine_props_si("H", "P", 101325.0, "T", 293.15, kMeg30), 0.0, 1e-9);
}

}  // namespace
