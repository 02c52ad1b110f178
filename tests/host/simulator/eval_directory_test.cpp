// cyclesim eval finds the property library from any working directory, and
// --props names another one.
#include <gtest/gtest.h>

#include "sim_test_support.h"

using namespace simtest;

namespace {

const std::vector<std::string> kValve{"eval", "Orvane", "--params", R"([{"C_eev": 2.0e-6}, "R134a"])", "--inputs",
                                      "[[0.5, 1.2e6, 3.0e5, 2.5e5]]"};

TEST(EvalDirectory, FindsOurLibraryFromAnyDirectoryAndTakesProps)
{
    TempDir tmp;  // no Tarvex_files here
    auto r = run_cyclesim_argv(kValve, tmp.path(), tmp.path());
    ASSERT_EQ(r.exit_code, 0) << r.err;
    const auto out = nlohmann::json::parse(read_text(tmp.path() / "stdout.txt"));
    ASSERT_TRUE(out["outputs"][0][0].is_number());
    EXPECT_GT(out["outputs"][0][0].get<double>(), 0.0);  // a flow through the open valve
    // Nothing is left behind in the working directory.
    EXPECT_FALSE(fs::exists(tmp.path() / "Tarvex_files"));

    auto args = kValve;
    args.insert(args.end(), {"--props", (tmp.path() / "missing.so").string()});
    r = run_cyclesim_argv(args, tmp.path(), tmp.path());
    EXPECT_NE(r.exit_code, 0);
    EXPECT_NE(r.err.find("--props: property library"), std::string::npos) << r.err;

    // A library whose every query fails: the block stops, eval exits non-zero.
    args = kValve;
    args.insert(args.end(), {"--props", (testsupport::build_dir() / "testlib" / "libprops_with_message.so").string()});
    r = run_cyclesim_argv(args, tmp.path(), tmp.path());
    EXPECT_NE(r.exit_code, 0) << r.err;
}

}  // namespace
