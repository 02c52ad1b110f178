// The four blocks keep the S-function interface's rules and bind the
// property library soundly: one sample time set before index 0 is used; the
// entry looked up only through a library that opened; a start that fails
// leaves nothing held, since mdlTerminate does not follow it.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "block_instance.h"
#include "errors.h"
#include "simulation_error.h"
#include "test_workdir.h"

extern "C" {
#include "sfun_runtime.h"
}

using namespace cyclesim;
using nlohmann::json;

// A PropsSI exported by this program: a block that looked the entry up in the
// whole process (a null handle does that) would bind to it.
extern "C" __attribute__((visibility("default"))) double PropsSI(const char*, const char*, double, const char*,
                                                                 double, const char*)
{
    return 1000.0;
}

namespace {

const char* const kBlocks[] = {"Orvane", "Compressor", "Evaporator", "Condenser"};

// The dialog values the example chiller gives each block.
json chiller_params(const std::string& sfunction)
{
    std::ifstream in(std::string(EXAMPLES_DIR) + "/chiller/chiller.json");
    const json model = json::parse(in);
    for (const auto& b : model["blocks"])
        if (b.value("sfunction", "") == sfunction) return b["params"];
    throw std::runtime_error("no " + sfunction + " in the chiller");
}

std::unique_ptr<BlockInstance> make_block(PluginRegistry& reg, const std::string& sfunction)
{
    return std::make_unique<BlockInstance>(reg.load(sfunction), "blk",
                                           dialog_from_json(chiller_params(sfunction), "blk"));
}

std::string initialize_error(BlockInstance& b)
{
    return testsupport::simulation_error_of([&] { b.initialize(); });
}

// Whether a library file of that name is mapped into this process.
bool loaded(const std::string& file_name)
{
    std::ifstream maps("/proc/self/maps");
    std::stringstream ss;
    ss << maps.rdbuf();
    return ss.str().find("/" + file_name) != std::string::npos;
}

struct QuietConsole {
    QuietConsole() { sfun_set_print_sink([](const char*, void*) {}, nullptr); }
    ~QuietConsole() { sfun_set_print_sink(nullptr, nullptr); }
};

}  // namespace

TEST(BlockContract, EveryBlockSetsOneContinuousSampleTime)
{
    testsupport::ScopedWorkdir wd(testsupport::analytic_library());
    PluginRegistry reg(testsupport::blocks_dir());
    for (const char* name : kBlocks) {
        auto b = make_block(reg, name);
        ASSERT_EQ(initialize_error(*b), "") << name;
        ASSERT_EQ(b->num_sample_times(), 1) << name;
        EXPECT_EQ(b->sample_time(0), 0.0) << name;
        EXPECT_EQ(b->offset_time(0), 0.0) << name;
        for (int p = 0; p < b->num_inputs(); ++p) EXPECT_TRUE(b->direct_feedthrough(p)) << name << " port " << p;
    }
}

TEST(BlockContract, NoLibraryMeansNoEntryEvenWhenTheProcessExportsOne)
{
    QuietConsole quiet;
    testsupport::ScopedWorkdir wd("");  // no Tarvex_files/libCoolProp.so here
    PluginRegistry reg(testsupport::blocks_dir());
    for (const char* name : kBlocks) {
        auto b = make_block(reg, name);
        const std::string m = initialize_error(*b);
        EXPECT_NE(m.find("cannot load the property library './Tarvex_files/libCoolProp.so'"), std::string::npos)
            << name << ": " << m;
    }
}

TEST(BlockContract, AFailedStartLeavesNothingHeld)
{
    QuietConsole quiet;
    PluginRegistry reg(testsupport::blocks_dir());
    for (const char* name : kBlocks) {
        SCOPED_TRACE(name);
        {
            // A library without the entry: the start fails, and the host does
            // not terminate the block, so the block must let go by itself.
            testsupport::ScopedWorkdir wd(testsupport::no_entry_library());
            auto b = make_block(reg, name);
            EXPECT_NE(initialize_error(*b).find("has no entry 'PropsSI'"), std::string::npos);
        }
        EXPECT_FALSE(loaded("libnoentry.so"));
        {
            // A good start afterwards binds afresh and its terminate releases
            // everything: the failed start left no count behind.
            testsupport::ScopedWorkdir wd(testsupport::analytic_library());
            auto b = make_block(reg, name);
            ASSERT_EQ(initialize_error(*b), "");
            EXPECT_TRUE(loaded("libanalyticprops.so"));
            b->terminate();
        }
        EXPECT_FALSE(loaded("libanalyticprops.so"));
    }
}
