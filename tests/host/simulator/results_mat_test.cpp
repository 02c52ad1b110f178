// results.mat: identifiers made from log names, and the file read back by a
// real reader (GNU Octave, skipped when absent) and by cyclesim's own reader,
// value for value against results.csv.
#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include "mat_names.h"
#include "mat_results_reader.h"
#include "sim_test_support.h"

using json = nlohmann::json;
using namespace simtest;

namespace {

TEST(MatNames, LogNamesBecomeDistinctIdentifiers)
{
    EXPECT_EQ(cyclesim::mat_identifier("T_evap"), "T_evap");
    EXPECT_EQ(cyclesim::mat_identifier("T evap (K)"), "T_evap__K_");
    EXPECT_EQ(cyclesim::mat_identifier("2nd"), "x2nd");
    EXPECT_EQ(cyclesim::mat_identifier("_a"), "x_a");
    EXPECT_EQ(cyclesim::mat_identifier(""), "x");
    EXPECT_EQ(cyclesim::mat_identifier("\xc3\xa9t\xc3\xa9"), "x__t__");
    EXPECT_EQ(cyclesim::mat_identifier(std::string(80, 'a')), std::string(63, 'a'));

    const auto ids = cyclesim::mat_identifiers({"T-evap", "T_evap", "T evap", std::string(70, 'b'), std::string(64, 'b')});
    EXPECT_EQ(ids[0], "T_evap");
    EXPECT_EQ(ids[1], "T_evap_2");
    EXPECT_EQ(ids[2], "T_evap_3");
    EXPECT_EQ(ids[3], std::string(63, 'b'));
    EXPECT_EQ(ids[4], std::string(61, 'b') + "_2");
}

bool octave_available() { return std::system("command -v octave-cli > /dev/null 2>&1") == 0; }

// Runs an Octave script in `dir`; returns its standard output.
std::string octave(const fs::path& dir, const std::string& script)
{
    const fs::path file = dir / "octave_script.m", out = dir / "octave_out.txt", err = dir / "octave_err.txt";
    std::ofstream(file) << script;
    // Octave 7 may print a harmless note on its way out on standard error;
    // only standard output is read.
    const std::string cmd = "cd '" + dir.string() + "' && octave-cli -q --no-window-system octave_script.m > '" +
                            out.string() + "' 2> '" + err.string() + "'";
    const int rc = std::system(cmd.c_str());
    std::string text = read_text(out);
    EXPECT_EQ(rc, 0) << text << read_text(err);
    return text;
}

// Prints, from results.mat: the log names, the units, then every row of
// time and signals with 17 significant digits (exact for a double), then
// summary lines.
const char* kDumpScript = R"(load('results.mat');
f = fieldnames(signals);
printf('time'); for i = 1:numel(f) printf(',%s', names.(f{i})); end; printf('\n');
printf('s'); for i = 1:numel(f) printf(',%s', units.(f{i})); end; printf('\n');
printf('fields'); for i = 1:numel(f) printf(',%s', f{i}); end; printf('\n');
M = time; for i = 1:numel(f) M = [M, signals.(f{i})]; end
for r = 1:rows(M) printf('%.17g', M(r,1)); printf(',%.17g', M(r,2:end)); printf('\n'); end
printf('status=%s\n', summary.status);
printf('final_time=%.17g\n', summary.final_time);
printf('model=%s\n', summary.model);
printf('steps=%d\n', summary.statistics.major_steps);
printf('command_line=%s\n', summary.command_line);
printf('sets=%d\n', numel(summary.sets));
for i = 1:numel(summary.sets) printf('set=%s\n', summary.sets{i}); end
)";

struct OctaveDump {
    std::vector<std::string> names, units, fields;
    std::vector<std::vector<double>> rows;
    std::map<std::string, std::vector<std::string>> summary;
};

std::vector<std::string> split(const std::string& line)
{
    std::vector<std::string> cells;
    std::stringstream ss(line);
    std::string cell;
    while (std::getline(ss, cell, ',')) cells.push_back(cell);
    return cells;
}

OctaveDump parse_dump(const std::string& text)
{
    OctaveDump d;
    std::stringstream in(text);
    std::string line;
    int n = 0;
    while (std::getline(in, line)) {
        if (line.empty()) continue;
        if (n == 0) d.names = split(line);
        else if (n == 1) d.units = split(line);
        else if (n == 2) d.fields = split(line);
        else if (auto eq = line.find('='); eq != std::string::npos && line.find(',') == std::string::npos &&
                                           !(line[0] >= '0' && line[0] <= '9') && line[0] != '-')
            d.summary[line.substr(0, eq)].push_back(line.substr(eq + 1));
        else {
            EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(line[0])) || line[0] == '-' || line[0] == 'N')
                << "unexpected Octave output: " << line;
            std::vector<double> row;
            for (const auto& c : split(line)) row.push_back(std::strtod(c.c_str(), nullptr));
            d.rows.push_back(row);
        }
        ++n;
    }
    return d;
}

bool same_double(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0 || (std::isnan(a) && std::isnan(b)); }

// Every value of results.csv equals the one in `rows`, bit for bit.
void expect_same_values(const Results& csv, const std::vector<std::vector<double>>& rows)
{
    ASSERT_EQ(csv.rows.size(), rows.size());
    for (std::size_t r = 0; r < rows.size(); ++r) {
        ASSERT_EQ(csv.rows[r].size(), rows[r].size()) << "row " << r;
        for (std::size_t c = 0; c < rows[r].size(); ++c)
            ASSERT_TRUE(same_double(csv.rows[r][c], rows[r][c]))
                << "row " << r << " column " << csv.header[c] << ": " << csv.rows[r][c] << " vs " << rows[r][c];
    }
}

class ResultsMat : public ::testing::Test {
protected:
    TempDir tmp;
};

TEST_F(ResultsMat, ChillerReadByOctaveEqualsCsv)
{
    if (!octave_available()) GTEST_SKIP() << "octave-cli not installed";
    const fs::path model = fs::path(CYCLESIM_SOURCE_DIR) / "examples" / "chiller" / "chiller.json";
    const fs::path dir = tmp.path() / "chiller";
    auto r = run_cyclesim_argv({"run", model.string(), "-o", dir.string(), "--stop-time", "20", "--no-plot",
                                "--set", "speed.before=50"},
                               tmp.path(), tmp.path());
    ASSERT_EQ(r.exit_code, 0) << r.err;

    const Results csv = read_results(dir / "results.csv");
    const OctaveDump d = parse_dump(octave(dir, kDumpScript));
    ASSERT_EQ(d.names.size(), csv.header.size());
    for (std::size_t i = 1; i < csv.header.size(); ++i)
        EXPECT_EQ(csv.header[i], d.names[i] + (d.units[i].empty() ? "" : " [" + d.units[i] + "]"));
    EXPECT_GT(csv.rows.size(), 10u);
    expect_same_values(csv, d.rows);

    const json summary = read_json(dir / "summary.json");
    EXPECT_EQ(d.summary.at("status").at(0), "completed");
    EXPECT_EQ(d.summary.at("model").at(0), "chiller");
    EXPECT_EQ(std::strtod(d.summary.at("final_time").at(0).c_str(), nullptr), 20.0);
    EXPECT_EQ(d.summary.at("steps").at(0), std::to_string(summary["statistics"]["major_steps"].get<long>()));
    EXPECT_NE(d.summary.at("command_line").at(0).find("run " + model.string()), std::string::npos);
    EXPECT_EQ(d.summary.at("set"), std::vector<std::string>{"speed.before=50"});
}

// Log names that are not identifiers, and a run that fails part way: the
// file it leaves loads, holds the rows logged before the failure, says
// "failed", and names each field after the log.
TEST_F(ResultsMat, FailedRunWithOddNamesLoads)
{
    json model = {{"blocks", {{{"name", "b"}, {"sfunction", "TestBlowup"}, {"params", {2.1}}}}},
                  {"log",
                   {{{"signal", "b.0.0"}, {"name", "2nd x"}, {"unit", "m"}},
                    {{"signal", "b.0.0"}, {"name", "x-copy"}},
                    {{"signal", "b.0.0"}, {"name", "x_copy"}}}},
                  {"solver", {{"stop_time", 5.0}, {"output_interval", 0.1}}}};
    const fs::path file = tmp.write_json("blowup.json", model);
    const fs::path dir = tmp.path() / "blowup";
    auto r = run_cyclesim_argv({"run", file.string(), "-o", dir.string(), "--no-plot"}, tmp.path(), tmp.path());
    ASSERT_NE(r.exit_code, 0);
    const Results csv = read_results(dir / "results.csv");
    ASSERT_GT(csv.rows.size(), 1u);
    ASSERT_TRUE(fs::exists(dir / "results.mat"));
    EXPECT_FALSE(fs::exists(dir / "results.mat.part"));

    // Our own reader gives the log's names back.
    const cyclesim::ResultsTable table = cyclesim::read_mat_results(dir / "results.mat");
    EXPECT_EQ(table.names, (std::vector<std::string>{"time", "2nd x", "x-copy", "x_copy"}));
    EXPECT_EQ(table.units, (std::vector<std::string>{"s", "m", "", ""}));
    expect_same_values(csv, table.rows);

    if (!octave_available()) GTEST_SKIP() << "octave-cli not installed";
    const OctaveDump d = parse_dump(octave(dir, kDumpScript));
    EXPECT_EQ(d.fields, (std::vector<std::string>{"fields", "x2nd_x", "x_copy", "x_copy_2"}));
    EXPECT_EQ(d.names, (std::vector<std::string>{"time", "2nd x", "x-copy", "x_copy"}));
    EXPECT_EQ(d.summary.at("status").at(0), "failed");
    expect_same_values(csv, d.rows);
}

// --format mat writes no results.csv (and removes a previous run's), and
// `cyclesim plot` draws from results.mat; --format csv writes no MAT-file.
TEST_F(ResultsMat, FormatChoosesTheFiles)
{
    json model = {{"blocks",
                   {{{"name", "u"}, {"type", "constant"}, {"value", 0.0}},
                    {{"name", "int"}, {"sfunction", "TestIntegrator"}, {"params", {-0.5, 2.0}}}}},
                  {"connections", {{{"from", "u.0.0"}, {"to", "int.0.0"}}}},
                  {"log", {{{"signal", "int.0.0"}, {"name", "x"}, {"unit", "m"}}}},
                  {"solver", {{"stop_time", 2.0}, {"output_interval", 0.5}}}};
    const fs::path file = tmp.write_json("decay.json", model);
    const fs::path dir = tmp.path() / "decay";
    auto r = run_cyclesim_argv({"run", file.string(), "-o", dir.string(), "--no-plot", "--format", "csv"},
                               tmp.path(), tmp.path());
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_TRUE(fs::exists(dir / "results.csv"));
    EXPECT_FALSE(fs::exists(dir / "results.mat"));

    r = run_cyclesim_argv({"run", file.string(), "-o", dir.string(), "--no-plot", "--format", "mat"}, tmp.path(),
                          tmp.path());
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_FALSE(fs::exists(dir / "results.csv"));
    const cyclesim::ResultsTable table = cyclesim::read_mat_results(dir / "results.mat");
    ASSERT_EQ(table.rows.size(), 5u);
    EXPECT_NEAR(table.rows[4][1], 2.0 * std::exp(-1.0), 1e-3);  // the solver's default tolerance

    if (std::system("command -v gnuplot > /dev/null 2>&1") != 0) GTEST_SKIP() << "gnuplot not installed";
    r = run_cyclesim_argv({"plot", dir.string()}, tmp.path(), tmp.path());
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_NE(r.err.find(".png"), std::string::npos) << r.err;

    r = run_cyclesim_argv({"run", file.string(), "-o", dir.string(), "--format", "xls"}, tmp.path(), tmp.path());
    EXPECT_NE(r.exit_code, 0);
}

TEST(CliVersion, AnswersWithTheVersion)
{
    TempDir tmp;
    auto r = run_cyclesim_argv({"--version"}, tmp.path(), tmp.path());
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(read_text(tmp.path() / "stdout.txt").rfind("cyclesim ", 0), 0u);
    for (const char* sub : {"run", "check", "plot", "eval"}) {
        r = run_cyclesim_argv({sub, "--help"}, tmp.path(), tmp.path());
        EXPECT_NE(read_text(tmp.path() / "stdout.txt").find("Example:\n  cyclesim " + std::string(sub)),
                  std::string::npos)
            << sub;
    }
}

}  // namespace

namespace {

// The chiller's model asks for cycles at 119, 239 and 360 s; a 20 s run has
// none of them. `check` warns, and the diagram labels each cycle with the
// time of the state it draws, never with a time the run did not reach.
TEST(PhDiagramTimes, PastTheEndWarnedAndLabelledTruly)
{
    TempDir tmp;
    const fs::path model = fs::path(CYCLESIM_SOURCE_DIR) / "examples" / "chiller" / "chiller.json";
    auto r = run_cyclesim_argv({"check", model.string(), "--stop-time", "100"}, tmp.path(), tmp.path());
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_NE(read_text(tmp.path() / "stdout.txt")
                  .find("warning: plots.ph.times: t = 119 s is after the stop time 100 s"),
              std::string::npos);

    const fs::path dir = tmp.path() / "short";
    r = run_cyclesim_argv({"run", model.string(), "-o", dir.string(), "--stop-time", "20", "--format", "mat"},
                          tmp.path(), tmp.path());
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_NE(r.err.find("warning: plots.ph.times: t = 360 s is after the stop time 20 s"), std::string::npos);
    const std::string script = read_text(dir / "plots" / "ph_diagram.gp");
    EXPECT_NE(script.find("cycle at t = 20 s (end of the results; 119, 239, 360 s asked)"), std::string::npos) << script;
    EXPECT_EQ(script.find("cycle at t = 119 s"), std::string::npos) << script;
}

}  // namespace

namespace {

std::size_t line_count(const fs::path& file)
{
    std::ifstream in(file);
    std::size_t n = 0;
    for (std::string line; std::getline(in, line);) ++n;
    return n;
}

// A run ended by SIGTERM (or Ctrl-C) while it integrates: it exits with a
// message instead of dying, its results.csv and results.mat hold the same
// rows, and summary.json says "interrupted".
TEST_F(ResultsMat, RunStoppedBySignalLeavesReadableFiles)
{
    json model = {{"blocks",
                   {{{"name", "u"}, {"type", "constant"}, {"value", 1.0}},
                    {{"name", "int"}, {"sfunction", "TestIntegrator"}, {"params", {0.0, 0.0}}}}},
                  {"connections", {{{"from", "u.0.0"}, {"to", "int.0.0"}}}},
                  {"log", {{{"signal", "int.0.0"}, {"name", "x"}, {"unit", "m"}}}},
                  {"solver", {{"stop_time", 1e6}, {"max_step", 1e-3}, {"output_interval", 1.0}, {"max_steps", 1e12}}}};
    const fs::path file = tmp.write_json("long.json", model);
    const fs::path dir = tmp.path() / "long";
    std::vector<std::string> all{testsupport::cyclesim_program().string(), "--blocks",
                                 testsupport::blocks_dir().string(), "run", file.string(), "-o", dir.string(),
                                 "--no-plot"};
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    const fs::path err_file = tmp.path() / "stderr.txt";
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        const int err = ::open(err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int out = ::open("/dev/null", O_WRONLY);
        if (err < 0 || out < 0) ::_exit(126);
        ::dup2(out, 1);
        ::dup2(err, 2);
        ::alarm(120);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    // Rows in results.csv: the integration (and the signal handling) runs.
    for (int i = 0; i < 600 && line_count(dir / "results.csv") < 3; ++i) ::usleep(100000);
    ASSERT_GE(line_count(dir / "results.csv"), 3u);
    ::kill(pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    EXPECT_NE(WEXITSTATUS(status), 0);
    EXPECT_NE(read_text(err_file).find("interrupted by SIGTERM"), std::string::npos) << read_text(err_file);

    const json summary = json::parse(read_text(dir / "summary.json"));
    EXPECT_EQ(summary.at("status"), "interrupted");
    EXPECT_LT(summary.at("final_time").get<double>(), 1e6);
    const Results csv = read_results(dir / "results.csv");
    ASSERT_GE(csv.rows.size(), 2u);
    const cyclesim::ResultsTable table = cyclesim::read_mat_results(dir / "results.mat");
    expect_same_values(csv, table.rows);
    EXPECT_FALSE(fs::exists(dir / "results.mat.part"));

    if (!octave_available()) GTEST_SKIP() << "octave-cli not installed";
    const OctaveDump d = parse_dump(octave(dir, kDumpScript));
    EXPECT_EQ(d.summary.at("status").at(0), "interrupted");
    expect_same_values(csv, d.rows);
}

}  // namespace
