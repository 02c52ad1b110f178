// Text and file names on their way to gnuplot: quoted so that gnuplot takes
// them literally, and plot files kept to plain names in the run directory.
#include <gtest/gtest.h>

#include <fstream>

#include "errors.h"
#include "gnuplot_text.h"
#include "plot_file_name.h"
#include "plotting.h"
#include "test_workdir.h"

using namespace cyclesim;
namespace fs = std::filesystem;

TEST(PlotText, SingleQuotedWithQuotesJoinedInAndControlCharactersDropped)
{
    EXPECT_EQ(gnuplot_string("Pressures [Pa]"), "'Pressures [Pa]'");
    // A doubled quote at the start would be read by gnuplot as an empty
    // string and junk; each quote is joined in as "'".
    EXPECT_EQ(gnuplot_string("it's"), "'it' . \"'\" . 's'");
    EXPECT_EQ(gnuplot_string("'x"), "'' . \"'\" . 'x'");
    // A line break would end the string and start a command.
    EXPECT_EQ(gnuplot_string("a\nsystem('x')\r\t\x1b\x7f"), "'asystem(' . \"'\" . 'x' . \"'\" . ')'");
    // Backquotes, dollars, backslashes and double quotes are literal inside
    // single quotes, and bytes of UTF-8 text pass unchanged.
    EXPECT_EQ(gnuplot_string("`x` $(y) \\n \"z\" \xc2\xb0" "C"), "'`x` $(y) \\n \"z\" \xc2\xb0" "C'");
}

TEST(PlotText, PlotFilesArePlainPngNames)
{
    for (const char* ok : {"flow.png", "p$(x)`y`.png", "a b.png", "caf\xc3\xa9.png"})
        EXPECT_EQ(plot_file_name_problem(ok), "") << ok;
    for (const char* bad : {"../x.png", "/tmp/x.png", "sub/x.png", "x\\y.png", ".png", ".x.png", "..", "", "x.csv",
                            "results.csv", "summary.json", "x\n.png", "x.PNG"})
        EXPECT_NE(plot_file_name_problem(bad), "") << bad;
    EXPECT_NE(plot_file_name_problem(std::string(300, 'a') + ".png"), "");
}

TEST(PlotText, PlotsAreNeverWrittenThroughALinkLeftInTheRunDirectory)
{
    testsupport::ScopedWorkdir wd("");
    std::ofstream(wd.path() / "results.csv") << "time [s],x [m]\n0,1\n1,2\n";
    std::ofstream(wd.path() / "plots.json") << R"({"time": [{"file": "x.png", "signals": ["x"]}]})";
    std::ofstream(wd.path() / "target.txt") << "keep";
    fs::create_symlink(wd.path() / "target.txt", wd.path() / "x.png");
    try {
        make_plots(wd.path(), testsupport::analytic_library());
        ADD_FAILURE() << "wrote through a link";
    } catch (const SimulationError& e) {
        EXPECT_NE(std::string(e.what()).find("symbolic link"), std::string::npos) << e.what();
    }
    std::ifstream in(wd.path() / "target.txt");
    std::string text;
    in >> text;
    EXPECT_EQ(text, "keep");
}
