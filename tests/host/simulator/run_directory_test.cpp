// What a run may write and where: only a new or empty directory or one an
// earlier run wrote; nothing of the user's is replaced or deleted; the
// summary says "running" until the run ends and is then replaced whole; a
// model path that is not UTF-8 does not cost the run its report.
#include <gtest/gtest.h>

#include <csignal>

#include "sim_test_support.h"

using json = nlohmann::json;
using namespace simtest;

namespace {

json integrator(double stop_time = 1.0)
{
    return {{"blocks",
             {{{"name", "u"}, {"type", "constant"}, {"value", 0.0}},
              {{"name", "int"}, {"sfunction", "TestIntegrator"}, {"params", {-1.0, 2.0}}}}},
            {"connections", {{{"from", "u.0.0"}, {"to", "int.0.0"}}}},
            {"log", {{{"signal", "int.0.0"}, {"name", "x"}, {"unit", "m"}}}},
            {"solver", {{"stop_time", stop_time}, {"output_interval", 0.25}}}};
}

class RunDirectory : public ::testing::Test {
protected:
    TempDir tmp;
    fs::path model = tmp.write_json("m.json", integrator());
    DirectResult run_into(const fs::path& out, const fs::path& model_file, bool plots = false)
    {
        std::vector<std::string> args{"run", model_file.string(), "-o", out.string()};
        if (!plots) args.push_back("--no-plot");
        return run_cyclesim_argv(args, tmp.path(), tmp.path());
    }
};

}  // namespace

TEST_F(RunDirectory, AFolderOfTheUsersIsRefusedAndLeftAsItWas)
{
    const fs::path mine = tmp.path() / "mine";
    fs::create_directories(mine);
    std::ofstream(mine / "plots.json") << "{\"my\": \"plots\"}";
    std::ofstream(mine / "results.csv") << "my results";
    auto r = run_into(mine, model);
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_NE(r.err.find("already holds files that no run of cyclesim wrote"), std::string::npos) << r.err;
    EXPECT_EQ(read_text(mine / "plots.json"), "{\"my\": \"plots\"}");
    EXPECT_EQ(read_text(mine / "results.csv"), "my results");
    EXPECT_FALSE(fs::exists(mine / "summary.json"));
    EXPECT_FALSE(fs::exists(mine / "Tarvex_files"));

    // -o naming a file, not a directory.
    r = run_into(mine / "results.csv", model);
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_NE(r.err.find("is not a directory"), std::string::npos) << r.err;
    EXPECT_EQ(read_text(mine / "results.csv"), "my results");
}

TEST_F(RunDirectory, NewEmptyPreparedAndEarlierRunDirectoriesAreTaken)
{
    EXPECT_EQ(run_into(tmp.path() / "a" / "b", model).exit_code, 0);  // new, parents made
    fs::create_directories(tmp.path() / "empty");
    EXPECT_EQ(run_into(tmp.path() / "empty", model).exit_code, 0);
    // Only the property library placed by the user: it is kept.
    const fs::path prepared = tmp.path() / "prepared";
    fs::create_directories(prepared / "Tarvex_files");
    fs::create_symlink(testsupport::analytic_library(), prepared / "Tarvex_files" / "libCoolProp.so");
    EXPECT_EQ(run_into(prepared, model).exit_code, 0);
    EXPECT_EQ(fs::read_symlink(prepared / "Tarvex_files" / "libCoolProp.so"), testsupport::analytic_library());

    // An earlier run's directory: its files are replaced, what the user
    // added since stays, and plots.json is replaced, not deleted, when the
    // new model has no plots section.
    json with_plots = integrator();
    with_plots["plots"] = {{"time", {{{"file", "x.png"}, {"signals", {"x"}}}}}};
    const fs::path run = tmp.path() / "run";
    ASSERT_EQ(run_into(run, tmp.write_json("p.json", with_plots), true).exit_code, 0);
    ASSERT_TRUE(fs::exists(run / "x.png"));
    std::ofstream(run / "notes.txt") << "my notes";
    auto r = run_into(run, tmp.write_json("long.json", integrator(2.0)));
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(read_text(run / "notes.txt"), "my notes");
    EXPECT_TRUE(fs::exists(run / "x.png"));
    EXPECT_EQ(read_json(run / "plots.json"), json::object());
    EXPECT_EQ(read_json(run / "summary.json")["stop_time"], 2.0);
    EXPECT_EQ(read_results(run / "results.csv").rows.size(), 9u);
}

TEST_F(RunDirectory, AKilledRunSaysItNeverFinished)
{
    json m = {{"blocks", {{{"name", "k"}, {"sfunction", "TestKill"}, {"params", {2.0}}}}},
              {"log", {{{"signal", "k.0.0"}, {"name", "x"}}}},
              {"solver", {{"stop_time", 5.0}, {"output_interval", 0.5}, {"max_step", 0.1}}}};
    auto r = run_into(tmp.path() / "killed", tmp.write_json("k.json", m));
    ASSERT_EQ(r.signal, SIGKILL) << r.err;
    const json s = read_json(tmp.path() / "killed" / "summary.json");
    EXPECT_EQ(s["status"], "running");
    EXPECT_EQ(s["stop_time"], 5.0);
    EXPECT_FALSE(s.contains("final_time"));
    EXPECT_GE(read_results(tmp.path() / "killed" / "results.csv").rows.size(), 4u);  // t = 0 .. 1.5 at least

    // A run that ends replaces the summary whole and leaves no partial file.
    ASSERT_EQ(run_into(tmp.path() / "done", model).exit_code, 0);
    EXPECT_EQ(read_json(tmp.path() / "done" / "summary.json")["status"], "completed");
    EXPECT_FALSE(fs::exists(tmp.path() / "done" / "summary.json.part"));
}

TEST_F(RunDirectory, AModelPathThatIsNotUtf8KeepsItsReport)
{
    const fs::path odd = tmp.path() / "caf\xe9";  // Latin-1 e-acute: not UTF-8
    fs::create_directories(odd);
    const fs::path file = odd / "m.json";
    std::ofstream(file) << integrator().dump();
    auto r = run_into(tmp.path() / "odd", file);
    ASSERT_EQ(r.exit_code, 0) << r.err;
    const json s = read_json(tmp.path() / "odd" / "summary.json");
    EXPECT_EQ(s["status"], "completed");
    const std::string path = s["model_file"];
    EXPECT_NE(path.find("caf\\xE9"), std::string::npos) << path;
    EXPECT_NE(s["final_values"]["x"].get<double>(), 0.0);
}

// An earlier run's directory whose files were replaced by links to files
// outside it: the next run is refused before it writes anything, naming the
// link, and the files outside stay as they were.
TEST_F(RunDirectory, LinksLeftInAnEarlierRunsDirectoryAreNotWrittenThrough)
{
    const fs::path run = tmp.path() / "prev";
    ASSERT_EQ(run_into(run, model).exit_code, 0);
    const fs::path outside = tmp.path() / "outside";
    fs::create_directories(outside / "lib");
    for (const char* name : {"results.csv", "results.mat.part", "run.log", "summary.json.part", "plots.json.part"}) {
        std::ofstream(outside / name) << "precious " << name;
        fs::remove(run / name);
        fs::create_symlink(outside / name, run / name);
    }
    fs::remove_all(run / "Tarvex_files");
    fs::create_symlink(outside / "lib", run / "Tarvex_files");

    auto r = run_into(run, model);
    EXPECT_EQ(r.exit_code, 1) << r.err;
    EXPECT_NE(r.err.find("is a symbolic link"), std::string::npos) << r.err;
    for (const char* name : {"results.csv", "results.mat.part", "run.log", "summary.json.part", "plots.json.part"})
        EXPECT_EQ(read_text(outside / name), std::string("precious ") + name) << name;
    EXPECT_TRUE(fs::is_empty(outside / "lib")) << "no library link written outside";
}
