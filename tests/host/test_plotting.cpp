// Plots of a run directory: the plot section is checked against the logged
// signals, and every plot named is drawn as a non-empty PNG.
#include <gtest/gtest.h>

#include <fstream>

#include "errors.h"
#include "plotting.h"
#include "plot_spec.h"
#include "test_workdir.h"

using namespace cyclesim;
using nlohmann::json;
namespace fs = std::filesystem;

namespace {

// A small cycle-like results file: two pressures and two enthalpies that
// settle, and a signal that is not finite for a while.
void write_results(const fs::path& dir)
{
    std::ofstream out(dir / "results.csv");
    out << "time [s],p_low [Pa],p_high [Pa],h_low [J/kg],h_high [J/kg],mode [-]\n";
    for (int i = 0; i <= 20; ++i) {
        double t = i * 0.5;
        out << t << ',' << 3e5 + 1e4 * std::exp(-t) << ',' << 1.2e6 << ',' << 3.1e5 << ',' << 3.3e5 << ','
            << (i > 5 && i < 9 ? std::string("NaN") : std::to_string(1 + (i > 10))) << '\n';
    }
}

std::uintmax_t size_of(const fs::path& f) { return fs::exists(f) ? fs::file_size(f) : 0; }

}  // namespace

TEST(Plotting, ReadsResultsWithUnitsAndGaps)
{
    testsupport::ScopedWorkdir wd("");
    write_results(wd.path());
    ResultsTable t = read_results(wd.path() / "results.csv");
    ASSERT_EQ(t.names.size(), 6u);
    EXPECT_EQ(t.names[1], "p_low");
    EXPECT_EQ(t.units[1], "Pa");
    EXPECT_EQ(t.units[5], "-");
    EXPECT_EQ(t.rows.size(), 21u);
    EXPECT_TRUE(std::isnan(t.rows[6][5]));
    EXPECT_EQ(t.column("h_high"), 4);
    EXPECT_EQ(t.column("absent"), -1);
}

TEST(Plotting, PlotSectionMustNameLoggedSignals)
{
    const std::vector<std::string> logged{"p_low", "p_high", "h_low", "h_high"};
    EXPECT_NO_THROW(validate_plot_spec(
        json::parse(R"({"time": [{"file": "p.png", "signals": ["p_low"]}],
                        "ph": {"fluid": "Analytic", "points": [["p_low", "h_low"], ["p_high", "h_high"]]}})"),
        logged, "m.json: plots"));
    auto message = [&](const char* text) {
        try {
            validate_plot_spec(json::parse(text), logged, "m.json: plots");
        } catch (const SimulationError& e) {
            return std::string(e.what());
        }
        return std::string();
    };
    EXPECT_NE(message(R"({"time": [{"file": "p.png", "signals": ["p_mid"]}]})").find("\"p_mid\" is not a logged"),
              std::string::npos);
    EXPECT_NE(message(R"({"tme": []})").find("unknown key"), std::string::npos);
    EXPECT_NE(message(R"({"ph": {"fluid": "R134a", "points": [["p_low"]]}})").find("[pressure signal, enthalpy"),
              std::string::npos);
    EXPECT_NE(message(R"({"time": [{"signals": ["p_low"]}]})").find("needs \"file\""), std::string::npos);
    EXPECT_NE(message(R"({"time": [{"file": "p.png", "signals": ["p_low"], "yrange": [2, 1]}]})").find("yrange"),
              std::string::npos);
}

TEST(Plotting, DrawsNamedPlotsAndTheDome)
{
    testsupport::ScopedWorkdir wd(testsupport::analytic_library());
    write_results(wd.path());
    std::ofstream(wd.path() / "plots.json") << R"({"time": [{"file": "pressures.png", "title": "p", "ylabel": "Pa",
        "signals": ["p_low", "p_high"]}, {"file": "mode.png", "signals": ["mode"], "yrange": [0, 3]}],
        "ph": {"file": "ph.png", "fluid": "Analytic", "times": [1, 10],
               "points": [["p_low", "h_low"], ["p_high", "h_high"]]}})";
    auto written = make_plots(wd.path(), testsupport::analytic_library());
    ASSERT_EQ(written.size(), 3u);
    for (const auto& png : written) EXPECT_GT(size_of(png), 1000u) << png;
    // The dome data hold saturated liquid and vapour of the analytic fluid
    // (hg - hf = 200 kJ/kg at every pressure).
    std::ifstream dome(wd.path() / "plots" / "ph_dome.dat");
    double h, p, first_h = 0, first_p = 0;
    int lines = 0;
    while (dome >> h >> p) {
        if (lines++ == 0) {
            first_h = h;
            first_p = p;
        }
    }
    EXPECT_GT(lines, 100);
    EXPECT_NEAR(first_h, (1e5 + 1000.0 * (10.0 * first_p)) / 1000.0, 1e-6);  // hf at that pressure, kJ/kg
}

TEST(Plotting, WithoutAPlotSectionOnePlotPerUnit)
{
    testsupport::ScopedWorkdir wd("");
    write_results(wd.path());
    auto written = make_plots(wd.path(), testsupport::analytic_library());
    EXPECT_EQ(written.size(), 3u);  // Pa, J/kg and -
    for (const auto& png : written) EXPECT_GT(size_of(png), 1000u) << png;
}
