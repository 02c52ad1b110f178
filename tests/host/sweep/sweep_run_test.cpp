// Whole sweeps through cyclesim on the PI example (a PI controller on a
// first-order lag, whose closed loop has a closed-form step response and the
// setpoint as its steady state): grid and Latin-hypercube points, the settle
// stop against the closed form, a failing point among good ones, a sweep
// killed halfway and resumed, and hostile values and paths through GNU
// parallel's ssh code path.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <map>
#include <thread>

#include "sim_test_support.h"

namespace {

using json = nlohmann::json;
namespace fs = std::filesystem;
using simtest::TempDir;

const fs::path kPiModel = fs::path(CYCLESIM_SOURCE_DIR) / "examples" / "control" / "pi_lag.json";
// One setpoint step 0 -> 1 at t = 1 (the table's times kept, its later steps removed).
const char* kStepToOne = "setpoint.values=[0,0,1,1,1,1,1,1]";

using Row = std::map<std::string, std::string>;

// sweep.csv, cells unquoted.
std::vector<Row> read_table(const fs::path& csv)
{
    std::ifstream in(csv);
    std::vector<std::vector<std::string>> lines;
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> cells(1);
        bool quoted = false;
        for (std::size_t i = 0; i < line.size(); ++i) {
            const char c = line[i];
            if (quoted && c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
                cells.back() += '"';
                ++i;
            } else if (c == '"') {
                quoted = !quoted;
            } else if (c == ',' && !quoted) {
                cells.emplace_back();
            } else {
                cells.back() += c;
            }
        }
        lines.push_back(cells);
    }
    std::vector<Row> rows;
    for (std::size_t r = 1; r < lines.size(); ++r) {
        Row row;
        for (std::size_t c = 0; c < lines[0].size() && c < lines[r].size(); ++c) row[lines[0][c]] = lines[r][c];
        rows.push_back(row);
    }
    return rows;
}

json pi_sweep()
{
    json d;
    d["model"] = kPiModel.string();
    d["stop_time"] = 19;
    d["sets"] = json::array({kStepToOne});
    d["settle"] = {{"signals", {{{"name", "y"}, {"abs", 1e-3}}}}, {"window", 5}};
    d["metrics"] = json::array({"y", "u", {{"name", "error"}, {"expr", "r - y"}}});
    d["limits"] = json::array({{{"signal", "u"}, {"above", 1.6 - 1e-9}, {"label", "u at 1.6"}}});
    return d;
}

simtest::DirectResult sweep(const TempDir& tmp, const json& doc, std::vector<std::string> extra = {})
{
    const fs::path file = tmp.write_json("sweep.json", doc);
    std::vector<std::string> args{"sweep", file.string(), "-o", (tmp.path() / "out").string(), "--no-plot"};
    args.insert(args.end(), extra.begin(), extra.end());
    return simtest::run_cyclesim_argv(args, tmp.path(), tmp.path());
}

// Closed loop of kp (1 + 1/(ti s)) on 2/(4 s + 1) with kp = 1.5, ti = 2:
// T(s) = 3 (2 s + 1) / (8 s^2 + 8 s + 3), poles -1/2 +- j w, w = 1/sqrt(8);
// the unit step response is y = 1 - exp(-t/2) (cos w t - (1/(4 w)) sin w t).
double closed_form(double t_since_step)
{
    const double w = 1 / std::sqrt(8.0), t = t_since_step;
    return t <= 0 ? 0 : 1 - std::exp(-t / 2) * (std::cos(w * t) - std::sin(w * t) / (4 * w));
}

TEST(SweepRun, GridPointsRunWithTheirValuesAndSettleAtTheSetpoint)
{
    TempDir tmp;
    json d = pi_sweep();
    d["variables"] = json::array({{{"name", "kp"}, {"set", "pi.kp"}, {"values", {1.5, 2.5}}},
                                  {{"name", "ti"}, {"set", "pi.ti"}, {"range", {{"from", 1.5}, {"to", 2.5}, {"count", 3}}}}});
    const auto r = sweep(tmp, d, {"--jobs", "2"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    const auto rows = read_table(tmp.path() / "out" / "sweep.csv");
    ASSERT_EQ(rows.size(), 6u);
    const double kps[] = {1.5, 1.5, 1.5, 2.5, 2.5, 2.5}, tis[] = {1.5, 2, 2.5, 1.5, 2, 2.5};
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const auto& row = rows[i];
        EXPECT_DOUBLE_EQ(std::stod(row.at("kp")), kps[i]);
        EXPECT_DOUBLE_EQ(std::stod(row.at("ti")), tis[i]);
        // The run used the point's values.
        std::ifstream log(tmp.path() / "out" / row.at("run_dir") / "run.log");
        std::stringstream ss;
        ss << log.rdbuf();
        EXPECT_NE(ss.str().find("--set pi.kp=" + row.at("kp") + "\n"), std::string::npos) << ss.str();
        EXPECT_NE(ss.str().find("--set pi.ti=" + row.at("ti") + "\n"), std::string::npos) << ss.str();
        // Integral action: the steady state is the setpoint, u = y / 2.
        if (row.at("status") == "settled") {
            EXPECT_NEAR(std::stod(row.at("y")), 1.0, 2e-3) << row.at("point");
            EXPECT_NEAR(std::stod(row.at("u")), 0.5, 2e-3) << row.at("point");
            EXPECT_NEAR(std::stod(row.at("error")), 1 - std::stod(row.at("y")), 1e-9);
            EXPECT_LT(std::stod(row.at("final_time")), 19);
        } else {
            EXPECT_EQ(row.at("status"), "completed") << row.at("message");
            EXPECT_EQ(row.at("settled"), "no");
            EXPECT_DOUBLE_EQ(std::stod(row.at("final_time")), 19);
        }
        EXPECT_EQ(row.at("limits"), "") << "the output stays below its limit after a unit step";
    }
}

TEST(SweepRun, LatinHypercubePointsAreTheSeededOnesAndAllRun)
{
    TempDir tmp;
    json d = pi_sweep();
    d["variables"] = json::array({{{"name", "kp"}, {"set", "pi.kp"}, {"range", {{"from", 1}, {"to", 3}}}},
                                  {{"name", "ti"}, {"set", "pi.ti"}, {"range", {{"from", 1}, {"to", 3}}}}});
    d["points"] = {{"latin_hypercube", 5}, {"seed", 7}};
    const auto r = sweep(tmp, d);
    ASSERT_EQ(r.exit_code, 0) << r.err;
    const auto rows = read_table(tmp.path() / "out" / "sweep.csv");
    ASSERT_EQ(rows.size(), 5u);
    std::set<int> kp_strata, ti_strata;
    for (const auto& row : rows) {
        kp_strata.insert(static_cast<int>((std::stod(row.at("kp")) - 1) / 2 * 5));
        ti_strata.insert(static_cast<int>((std::stod(row.at("ti")) - 1) / 2 * 5));
        EXPECT_TRUE(row.at("status") == "settled" || row.at("status") == "completed") << row.at("message");
    }
    EXPECT_EQ(kp_strata.size(), 5u);
    EXPECT_EQ(ti_strata.size(), 5u);
}

TEST(SweepRun, ARunEndsWithinOneWindowOfTheClosedFormSettlingTime)
{
    const double tol = 1e-3, window = 5;
    // Closed form: the last time the response is outside a band of tol/2
    // around its final value; after that the criterion (largest minus
    // smallest value over the window at most tol) holds within a window.
    double settling = 0;
    for (double t = 1; t <= 19; t += 1e-3)
        if (std::fabs(closed_form(t - 1) - 1) > tol / 2) settling = t;
    ASSERT_GT(settling, 5);
    ASSERT_LT(settling, 17);

    TempDir tmp;
    json d = pi_sweep();
    d["variables"] = json::array({{{"name", "kp"}, {"set", "pi.kp"}, {"values", {1.5}}}});
    const auto r = sweep(tmp, d);
    ASSERT_EQ(r.exit_code, 0) << r.err;
    const auto rows = read_table(tmp.path() / "out" / "sweep.csv");
    ASSERT_EQ(rows.size(), 1u);
    ASSERT_EQ(rows[0].at("status"), "settled");
    const double end = std::stod(rows[0].at("final_time"));
    EXPECT_EQ(rows[0].at("settled_time"), rows[0].at("final_time"));
    EXPECT_GE(end, settling - window);
    EXPECT_LE(end, settling + window + 0.5) << "closed-form settling time " << settling;
    EXPECT_NEAR(std::stod(rows[0].at("y")), closed_form(end - 1), 1e-6);

    // `cyclesim run` has the same criterion; a tighter band is not met by the
    // stop time, and the summary says so.
    const auto run = simtest::run_cyclesim_argv(
        {"run", kPiModel.string(), "-o", (tmp.path() / "tight").string(), "--no-plot", "--stop-time", "19",
         "--set", kStepToOne, "--settle", R"({"signals": [{"name": "y", "abs": 1e-9}], "window": 5})"},
        tmp.path(), tmp.path());
    ASSERT_EQ(run.exit_code, 0) << run.err;
    std::ifstream in(tmp.path() / "tight" / "summary.json");
    const json summary = json::parse(in);
    EXPECT_EQ(summary.at("status"), "completed");
    EXPECT_EQ(summary.at("settled"), false);
    EXPECT_TRUE(summary.at("settled_time").is_null());
    EXPECT_DOUBLE_EQ(summary.at("final_time").get<double>(), 19);
}

TEST(SweepRun, AFailingPointNeverStopsTheOthers)
{
    TempDir tmp;
    json d = pi_sweep();
    d["variables"] = json::array({{{"name", "kp"}, {"set", "pi.kp"}, {"values", {1.5, -1, 2}}}});
    const auto r = sweep(tmp, d, {"--jobs", "1"});
    EXPECT_EQ(r.exit_code, 1) << "a sweep with a failed point exits non-zero";
    const auto rows = read_table(tmp.path() / "out" / "sweep.csv");
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].at("status"), "settled");
    EXPECT_EQ(rows[1].at("status"), "failed");
    EXPECT_NE(rows[1].at("message").find("kp"), std::string::npos) << rows[1].at("message");
    EXPECT_EQ(rows[2].at("status"), "settled");
    EXPECT_NE(r.err.find("3 points, 1 failed"), std::string::npos) << r.err;
}

TEST(SweepRun, PointsSharingAPreparationRunItOnceOrTogetherWithoutHarm)
{
    // Both workers start with the same preparation and finish it at the same
    // moment: each keeps its result, neither point fails; later points take
    // the kept --sets without running it.
    TempDir tmp;
    json d = pi_sweep();
    d["variables"] = json::array({{{"name", "kp"}, {"set", "pi.ti"}, {"values", {1.5, 2, 2.5, 3, 3.5, 4}}}});
    d["prepare"] = json::array({"python3", "-c", "import time; time.sleep(0.3); print('--set pi.kp=1.5')"});
    const auto r = sweep(tmp, d, {"--jobs", "2"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    const auto rows = read_table(tmp.path() / "out" / "sweep.csv");
    ASSERT_EQ(rows.size(), 6u);
    int prepared = 0;
    for (const auto& row : rows) {
        EXPECT_NE(row.at("status"), "failed") << row.at("message");
        std::ifstream in(tmp.path() / "out" / "points" / (row.at("point") + ".result.json"));
        const json result = json::parse(in);
        EXPECT_EQ(result.at("sets").back(), "pi.kp=1.5");
        if (result.at("prepare_s").get<double>() >= 0.3) ++prepared;
    }
    EXPECT_LE(prepared, 2) << "the preparation ran for every point";
    EXPECT_EQ(std::distance(fs::directory_iterator(tmp.path() / "out" / "prepared"), fs::directory_iterator{}), 1);
}

TEST(SweepRun, AKilledSweepResumesWithTheMissingPointsOnly)
{
    TempDir tmp;
    json d = pi_sweep();
    d["stop_time"] = 40;
    d["variables"] = json::array({{{"name", "kp"}, {"set", "pi.kp"}, {"values", {1.2, 1.4, 1.6, 1.8, 2.0, 2.2}}}});
    // Each point waits 0.4 s in its preparation, so the sweep can be cut off
    // while points are still to run.
    d["prepare"] = json::array({"python3", "-c", "import time; time.sleep(0.4)", "{kp}"});
    const fs::path file = tmp.write_json("sweep.json", d);
    const fs::path out = tmp.path() / "out";
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setpgid(0, 0);
        const std::string prog = testsupport::cyclesim_program().string();
        ::execl(prog.c_str(), prog.c_str(), "sweep", file.c_str(), "-o", out.c_str(), "--jobs", "1", "--no-plot",
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::setpgid(pid, pid);
    auto results = [&out]() {
        std::vector<fs::path> done;
        if (fs::exists(out / "points"))
            for (const auto& e : fs::directory_iterator(out / "points"))
                if (e.path().string().ends_with(".result.json")) done.push_back(e.path());
        return done;
    };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (results().size() < 2 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ::kill(-pid, SIGKILL);  // the sweep, GNU parallel and the running point
    int status = 0;
    ::waitpid(pid, &status, 0);
    const auto first = results();
    ASSERT_GE(first.size(), 2u);
    ASSERT_LT(first.size(), 6u) << "the sweep finished before it could be cut off";
    std::map<fs::path, std::string> before;
    for (const auto& f : first) {
        std::ifstream in(f);
        std::stringstream ss;
        ss << in.rdbuf();
        before[f] = ss.str();
    }

    const auto r = simtest::run_cyclesim_argv({"sweep", file.string(), "-o", out.string(), "--no-plot"}, tmp.path(),
                                              tmp.path());
    ASSERT_EQ(r.exit_code, 0) << r.err;
    std::ostringstream expected;
    expected << "(" << 6 - first.size() << " to run, " << first.size() << " complete from before)";
    EXPECT_NE(r.err.find(expected.str()), std::string::npos) << r.err;
    // The points finished before were not run again.
    for (const auto& [f, text] : before) {
        std::ifstream in(f);
        std::stringstream ss;
        ss << in.rdbuf();
        EXPECT_EQ(ss.str(), text) << f;
    }
    const auto rows = read_table(out / "sweep.csv");
    ASSERT_EQ(rows.size(), 6u);
    for (const auto& row : rows) EXPECT_EQ(row.at("status"), "settled") << row.at("point") << ": " << row.at("message");

    // A third run has nothing left to do; a changed point runs again.
    const auto again = simtest::run_cyclesim_argv({"sweep", file.string(), "-o", out.string(), "--no-plot"},
                                                  tmp.path(), tmp.path());
    EXPECT_NE(again.err.find("(0 to run, 6 complete from before)"), std::string::npos) << again.err;
    d["variables"][0]["values"][5] = 2.4;
    tmp.write_json("sweep.json", d);
    const auto changed = simtest::run_cyclesim_argv({"sweep", file.string(), "-o", out.string(), "--no-plot"},
                                                    tmp.path(), tmp.path());
    EXPECT_NE(changed.err.find("(1 to run, 5 complete from before)"), std::string::npos) << changed.err;
}

TEST(SweepRun, HostileValuesAndPathsReachThePointsAsDataThroughTheSshCodePath)
{
    TempDir tmp;
    const std::vector<std::string> hostile = {"$(touch PWNED1)", "`touch PWNED2`", "; touch PWNED3 #",
                                              "a'b\"c d\\e", "--set pi.kp=-5", "x\ny"};
    json d = pi_sweep();
    json labels = json::array();
    for (const auto& h : hostile) labels.push_back(h);
    d["variables"] = json::array({{{"name", "label"}, {"values", labels}}});
    // The preparation records the argument it was given, and sets nothing
    // but a valid gain.
    d["prepare"] = json::array({"python3", "-c",
                                "import sys; open('seen.txt', 'a').write(repr(sys.argv[1]) + '\\n'); "
                                "print('--set pi.kp=1.5')",
                                "{label}"});
    const fs::path dir = tmp.path() / "sweep $(touch PWNED4) 'q\" `touch PWNED5`";
    fs::create_directories(dir);
    const fs::path file = dir / "sweep.json";
    std::ofstream(file) << d.dump(2);
    const fs::path out = dir / "out; touch PWNED6";
    const auto r = simtest::run_cyclesim_argv(
        {"sweep", file.string(), "-o", out.string(), "--no-plot", "--sshlogin", ":", "--jobs", "2"}, tmp.path(),
        tmp.path());
    ASSERT_EQ(r.exit_code, 0) << r.err;
    const auto rows = read_table(out / "sweep.csv");
    ASSERT_EQ(rows.size(), hostile.size());
    std::ifstream seen_file(dir / "seen.txt");
    std::stringstream seen;
    seen << seen_file.rdbuf();
    for (std::size_t i = 0; i < hostile.size(); ++i) {
        EXPECT_EQ(rows[i].at("status"), "settled") << rows[i].at("message");
        // The table holds the value (line breaks as spaces), the preparation got it whole.
        std::string flat = hostile[i];
        for (char& c : flat)
            if (c == '\n') c = ' ';
        EXPECT_EQ(rows[i].at("label"), flat);
    }
    EXPECT_NE(seen.str().find("'$(touch PWNED1)'"), std::string::npos) << seen.str();
    EXPECT_NE(seen.str().find("'x\\ny'"), std::string::npos) << seen.str();
    for (const auto& place : {tmp.path(), dir, fs::current_path()})
        for (int k = 1; k <= 6; ++k)
            EXPECT_FALSE(fs::exists(place / ("PWNED" + std::to_string(k)))) << place << " PWNED" << k;
}

}  // namespace
