// Plots of a run directory: the plot section is checked against the logged
// signals, and every plot named is drawn as a non-empty PNG.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include <sys/stat.h>

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
    // Every legend, the pressure-enthalpy one included, sits below its plot:
    // a long label beside it would squeeze the plot to a strip.
    int scripts = 0;
    for (const auto& entry : std::filesystem::directory_iterator(wd.path() / "plots")) {
        if (entry.path().extension() != ".gp") continue;
        ++scripts;
        std::ifstream in(entry.path());
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_NE(text.find("set key below"), std::string::npos) << entry.path();
    }
    EXPECT_EQ(scripts, 3);
}

TEST(Plotting, WithoutAPlotSectionOnePlotPerUnit)
{
    testsupport::ScopedWorkdir wd("");
    write_results(wd.path());
    auto written = make_plots(wd.path(), testsupport::analytic_library());
    EXPECT_EQ(written.size(), 3u);  // Pa, J/kg and -
    for (const auto& png : written) EXPECT_GT(size_of(png), 1000u) << png;
}

namespace {

std::string read_file(const fs::path& f)
{
    std::ifstream in(f);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// First data row of a plot's data file: time and the values as drawn.
std::vector<double> first_row(const fs::path& dat)
{
    std::ifstream in(dat);
    std::string line;
    std::getline(in, line);
    std::istringstream row(line);
    std::vector<double> v;
    for (double x; row >> x;) v.push_back(x);
    return v;
}

}  // namespace

// Temperatures shown in °C and pressures in bar (the results stay SI), but
// temperature differences (all values below 150 K) stay in K; legends from
// the descriptions; a discrete signal drawn as steps with whole-number
// ticks; each line its own colour.
TEST(Plotting, EngineeringUnitsDescriptionsAndDiscreteSteps)
{
    testsupport::ScopedWorkdir wd(testsupport::analytic_library());
    {
        std::ofstream out(wd.path() / "results.csv");
        out << "time [s],T_water [K],T_air [K],superheat [K],p [Pa],mode [-],loop [-]\n";
        for (int i = 0; i <= 10; ++i)
            out << i << ',' << 280.15 << ',' << 303.15 << ',' << 5.0 << ',' << 1.2e6 << ',' << 1 + (i > 5) << ','
                << (i > 7) << '\n';
    }
    std::ofstream(wd.path() / "plots.json") << R"({"time": [
        {"file": "t.png", "title": "temperatures", "ylabel": "temperature [K]", "signals": ["T_water", "T_air"],
         "yrange": [273.15, 313.15]},
        {"file": "sh.png", "ylabel": "K", "signals": ["superheat"]},
        {"file": "p.png", "ylabel": "Pa", "signals": ["p"]},
        {"file": "modes.png", "signals": ["mode", "loop"]}],
        "descriptions": {"T_water": "leaving chilled water"}})";
    auto written = make_plots(wd.path(), testsupport::analytic_library());
    ASSERT_EQ(written.size(), 4u);
    for (const auto& png : written) EXPECT_GT(size_of(png), 1000u) << png;

    const auto t = first_row(wd.path() / "plots" / "t.dat");
    ASSERT_EQ(t.size(), 3u);
    EXPECT_NEAR(t[1], 7.0, 1e-9);
    EXPECT_NEAR(t[2], 30.0, 1e-9);
    const std::string t_gp = read_file(wd.path() / "plots" / "t.gp");
    EXPECT_NE(t_gp.find("set ylabel 'temperature [°C]'"), std::string::npos) << t_gp;
    EXPECT_NE(t_gp.find("set yrange [0:40]"), std::string::npos) << t_gp;
    EXPECT_NE(t_gp.find("title 'leaving chilled water'"), std::string::npos) << t_gp;
    EXPECT_NE(t_gp.find("title 'T_air'"), std::string::npos) << "no description: the name";
    EXPECT_NE(t_gp.find("#0072B2"), std::string::npos);
    EXPECT_NE(t_gp.find("#D55E00"), std::string::npos) << "a second colour for the second line";

    EXPECT_NEAR(first_row(wd.path() / "plots" / "sh.dat")[1], 5.0, 1e-12) << "a difference stays in K";
    EXPECT_NE(read_file(wd.path() / "plots" / "sh.gp").find("set ylabel 'K'"), std::string::npos);
    EXPECT_NEAR(first_row(wd.path() / "plots" / "p.dat")[1], 12.0, 1e-12);
    EXPECT_NE(read_file(wd.path() / "plots" / "p.gp").find("set ylabel 'bar'"), std::string::npos);

    const std::string modes = read_file(wd.path() / "plots" / "modes.gp");
    EXPECT_NE(modes.find("with steps"), std::string::npos) << modes;
    EXPECT_EQ(modes.find("with lines"), std::string::npos) << modes;
    EXPECT_NE(modes.find("set ytics 1"), std::string::npos) << modes;
    // The results file itself is untouched: still kelvin and pascal.
    EXPECT_NE(read_file(wd.path() / "results.csv").find("280.15"), std::string::npos);
}

// A run directory may come from anyone: plotting it never loads the library
// it holds (here a file that is no library at all, which the former plotter
// tried to load), only the one it is given, and that only when it is a
// regular file (a FIFO would block the load).
TEST(Plotting, LoadsNoLibraryFromTheDirectoryItPlots)
{
    testsupport::ScopedWorkdir wd(testsupport::analytic_library());
    write_results(wd.path());
    std::ofstream(wd.path() / "plots.json") << R"({"time": [], "ph": {"file": "ph.png", "fluid": "Analytic",
        "points": [["p_low", "h_low"], ["p_high", "h_high"]]}})";
    fs::remove(wd.path() / "Tarvex_files" / "libCoolProp.so");
    std::ofstream(wd.path() / "Tarvex_files" / "libCoolProp.so") << "not a library: loading it would run code";
    auto written = make_plots(wd.path(), testsupport::analytic_library());
    ASSERT_EQ(written.size(), 1u);
    EXPECT_GT(size_of(written[0]), 1000u);

    const fs::path fifo = wd.path() / "fifo.so";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    try {
        make_plots(wd.path(), fifo);
        ADD_FAILURE() << "a FIFO was taken for a library";
    } catch (const SimulationError& e) {
        EXPECT_NE(std::string(e.what()).find("is not a regular file"), std::string::npos) << e.what();
    }
}
