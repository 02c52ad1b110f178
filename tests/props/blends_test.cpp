// Pseudo-pure blends (R410A, R407C, R404A): the glide between the bubble and
// dew lines, the lever rules, and names of every refrigerant.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "fluidprops/error.h"
#include "fluidprops/props_si.h"

namespace {

using fluidprops::props_si;
using fluidprops::PropertyError;

const char* const kBlends[] = {"R410A", "R407C", "R404A"};

TEST(Blends, DewAboveBubbleAndLinearInQuality) {
    for (const char* f : kBlends) {
        for (double p : {1e5, 3e5, 1.2e6, 3e6}) {
            SCOPED_TRACE(std::string(f) + " p=" + std::to_string(p));
            const double Tb = props_si("T", "P", p, "Q", 0, f);
            const double Td = props_si("T", "P", p, "Q", 1, f);
            EXPECT_GT(Td, Tb);
            EXPECT_LT(Td - Tb, 10.0);
            EXPECT_DOUBLE_EQ(props_si("T", "P", p, "Q", 0.5, f), 0.5 * (Tb + Td));
            EXPECT_DOUBLE_EQ(props_si("T", "P", p, "Q", 0.2, f), 0.8 * Tb + 0.2 * Td);
            // Enthalpy and entropy by mass, density on specific volume.
            const double hl = props_si("H", "P", p, "Q", 0, f), hv = props_si("H", "P", p, "Q", 1, f);
            const double sl = props_si("S", "P", p, "Q", 0, f), sv = props_si("S", "P", p, "Q", 1, f);
            const double dl = props_si("D", "P", p, "Q", 0, f), dv = props_si("D", "P", p, "Q", 1, f);
            EXPECT_NEAR(props_si("H", "P", p, "Q", 0.3, f), 0.7 * hl + 0.3 * hv, 1e-9 * hv);
            EXPECT_NEAR(props_si("S", "P", p, "Q", 0.3, f), 0.7 * sl + 0.3 * sv, 1e-9 * sv);
            EXPECT_NEAR(1.0 / props_si("D", "P", p, "Q", 0.3, f), 0.7 / dl + 0.3 / dv, 1e-12 / dv);
            // (P, H) inside the glide: quality by the lever rule, temperature interpolated.
            const double h = hl + 0.4 * (hv - hl);
            EXPECT_NEAR(props_si("Q", "P", p, "H", h, f), 0.4, 1e-12);
            EXPECT_NEAR(props_si("T", "P", p, "H", h, f), 0.6 * Tb + 0.4 * Td, 1e-9 * Td);
            // The end states are single-phase states of the equation at their own temperatures.
            EXPECT_NEAR(props_si("D", "P", p, "T", Tb - 1e-6, f) / dl, 1.0, 1e-6);
            EXPECT_NEAR(props_si("D", "P", p, "T", Td + 1e-6, f) / dv, 1.0, 1e-6);
        }
    }
}

TEST(Blends, TemperatureInsideTheGlideIsRefused) {
    for (const char* f : kBlends) {
        const double p = 1e6;
        const double Tb = props_si("T", "P", p, "Q", 0, f);
        const double Td = props_si("T", "P", p, "Q", 1, f);
        for (double x : {0.01, 0.5, 0.99}) {
            try {
                props_si("H", "P", p, "T", Tb + x * (Td - Tb), f);
                ADD_FAILURE() << f << " accepted a temperature inside the glide";
            } catch (const PropertyError& e) {
                EXPECT_NE(std::string(e.what()).find("glide"), std::string::npos) << e.what();
            }
        }
        // Just outside: subcooled liquid and superheated vapour.
        EXPECT_GT(props_si("D", "P", p, "T", Tb - 0.01, f), 500.0) << f;
        EXPECT_LT(props_si("D", "P", p, "T", Td + 0.01, f), 100.0) << f;
    }
}

TEST(Blends, SaturationRange) {
    for (const char* f : kBlends) {
        EXPECT_THROW(props_si("T", "P", 6e6, "Q", 0, f), PropertyError) << f;   // above the critical pressure
        EXPECT_THROW(props_si("T", "P", 1e3, "Q", 0, f), PropertyError) << f;   // below the triple point
        EXPECT_THROW(props_si("P", "T", 250, "Q", 0.5, f), PropertyError) << f; // no single pressure at given T
        EXPECT_LT(props_si("P", "T", 250, "Q", 1, f), props_si("P", "T", 250, "Q", 0, f)) << f;
    }
}

TEST(Names, EveryRefrigerantUnderEveryAlias) {
    const struct { const char* canonical; std::initializer_list<const char*> aliases; } names[] = {
        {"R32", {"HEOS::R32", "75-10-5"}},
        {"n-Propane", {"R290", "Propane", "propane", "PROPANE", "HEOS::R290", "C3H8"}},
        {"R1234yf", {"R1234YF", "HEOS::R1234yf"}},
        {"R1234ze(E)", {"R1234zeE", "R1234ZEE", "R1234ZE(E)", "HEOS::R1234ze(E)"}},
        {"IsoButane", {"R600a", "R600A", "isobutane", "Isobutane", "HEOS::R600a"}},
        {"CarbonDioxide", {"R744", "CO2", "co2", "carbondioxide", "HEOS::CO2"}},
        {"R410A", {"R410a", "HEOS::R410A"}},
        {"R407C", {"R407c", "HEOS::R407C"}},
        {"R404A", {"R404a", "HEOS::R404A"}},
    };
    for (const auto& n : names) {
        const double h = props_si("H", "P", 1e6, "T", 400, n.canonical);
        const double t = props_si("T", "P", 1e6, "Q", 1, n.canonical == std::string("CarbonDioxide") ? "CO2" : n.canonical);
        for (const char* alias : n.aliases) {
            EXPECT_EQ(props_si("H", "P", 1e6, "T", 400, alias), h) << alias;
            EXPECT_EQ(props_si("T", "P", 1e6, "Q", 1, alias), t) << alias;
        }
    }
}

}  // namespace
