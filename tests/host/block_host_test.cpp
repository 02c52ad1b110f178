// The host side of the S-function interface, driven through a test plug-in:
// registration, signals, the callback order, error status, parameter counts.
#include <gtest/gtest.h>

#include <string>

#include "block_instance.h"
#include "errors.h"
#include "console_capture.h"
#include "test_workdir.h"

extern "C" {
#include "sfun_runtime.h"
}

using namespace cyclesim;
using nlohmann::json;

namespace {

std::unique_ptr<BlockInstance> make_recorder(PluginRegistry& reg, const json& params)
{
    return std::make_unique<BlockInstance>(reg.load("TestRecorder"), "rec", dialog_from_json(params, "rec"));
}

const json kParams = json::parse(R"([{"inputs": [2, 3], "outputs": [3, 1], "states": 2, "rwork": 5}, "hello"])");

}  // namespace

TEST(BlockHost, RegistersSizesAndAllocates)
{
    PluginRegistry reg(testsupport::blocks_dir());
    auto b = make_recorder(reg, kParams);
    b->initialize();
    EXPECT_EQ(b->num_inputs(), 2);
    EXPECT_EQ(b->input_width(0), 2);
    EXPECT_EQ(b->input_width(1), 3);
    EXPECT_TRUE(b->direct_feedthrough(1));
    EXPECT_EQ(b->num_outputs(), 2);
    EXPECT_EQ(b->output(0).size(), 3u);
    EXPECT_EQ(b->output(1).size(), 1u);
    EXPECT_EQ(b->cont_states().size(), 2u);
    EXPECT_EQ(b->derivatives_vector().size(), 2u);
    EXPECT_EQ(b->disc_states().size(), 1u);
    EXPECT_EQ(b->rwork().size(), 5u);
    EXPECT_EQ(b->sample_time(0), 0.0);
    // Initial conditions ran after allocation.
    EXPECT_EQ(b->cont_states()[1], 2.0);
}

TEST(BlockHost, SignalsAndTextParameters)
{
    PluginRegistry reg(testsupport::blocks_dir());
    double a = 1.5, c = 4.0;
    {
        auto b = make_recorder(reg, kParams);
        b->initialize_sizes();
        b->connect_input(0, 1, &a);  // other elements read the host's zero
        b->connect_input(1, 2, &c);
        b->initialize_sample_times();
        b->check_parameters();
        b->start();
        b->initialize_conditions();
        b->outputs(0.0, true);
        EXPECT_EQ(b->output(0)[0], 0.0);  // "hello" fits in 8 bytes
        EXPECT_EQ(b->output(0)[1], 5.0);
        EXPECT_EQ(b->output(0)[2], 5.5);
        c = 10.0;  // inputs are read through the wiring at each call
        b->outputs(0.1, false);
        EXPECT_EQ(b->output(0)[2], 11.5);
        EXPECT_THROW(b->connect_input(1, 3, &a), SimulationError);
    }
    {
        json long_text = kParams;
        long_text[1] = "much too long";
        auto b = make_recorder(reg, long_text);
        b->initialize();
        b->outputs(0.0, true);
        EXPECT_EQ(b->output(0)[0], 1.0);  // truncation reported
        EXPECT_EQ(b->output(0)[1], 7.0);  // n-1 characters kept
    }
}

TEST(BlockHost, CallbacksRunInContractOrder)
{
    PluginRegistry reg(testsupport::blocks_dir());
    ConsoleCapture console;
    {
        auto b = make_recorder(reg, kParams);
        b->initialize();
        b->outputs(0.0, true);
        b->derivatives(0.0, true);
        b->update(0.0);
        EXPECT_EQ(b->disc_states()[0], 1.0);
        EXPECT_EQ(b->derivatives_vector()[0], -1.0);
    }  // destruction terminates
    // The block checks its dialog from mdlInitializeSizes; the host does not
    // check it again before the start.
    EXPECT_EQ(console.text, "sizes;check;sampletimes;start;initcond;outputs;derivatives;update;terminate;");
}

TEST(BlockHost, ErrorStatusStopsWithBlockCallbackAndTime)
{
    PluginRegistry reg(testsupport::blocks_dir());
    ConsoleCapture console;
    double negative = -1.0;
    {
        auto b = make_recorder(reg, kParams);
        b->initialize_sizes();
        b->connect_input(0, 0, &negative);
        b->initialize_sample_times();
        b->start();
        b->initialize_conditions();
        try {
            b->outputs(2.5, true);
            FAIL() << "error status ignored";
        } catch (const SimulationError& e) {
            std::string m = e.what();
            EXPECT_NE(m.find("'rec'"), std::string::npos) << m;
            EXPECT_NE(m.find("mdlOutputs"), std::string::npos) << m;
            EXPECT_NE(m.find("t = 2.5"), std::string::npos) << m;
            EXPECT_NE(m.find("negative input"), std::string::npos) << m;
        }
    }
    // A failed block is still terminated.
    EXPECT_NE(console.text.find("terminate;"), std::string::npos);
}

TEST(BlockHost, WrongParameterCountIsReportedWithBothCounts)
{
    PluginRegistry reg(testsupport::blocks_dir());
    json three = kParams;
    three.push_back(1.0);
    auto b = make_recorder(reg, three);
    try {
        b->initialize();
        FAIL() << "parameter count mismatch accepted";
    } catch (const SimulationError& e) {
        std::string m = e.what();
        EXPECT_NE(m.find("declares 2"), std::string::npos) << m;
        EXPECT_NE(m.find("3 were given"), std::string::npos) << m;
    }
}

TEST(BlockHost, UnknownPluginsAreClearErrors)
{
    PluginRegistry reg(testsupport::blocks_dir());
    EXPECT_THROW(reg.load("NoSuchBlock"), SimulationError);
    EXPECT_THROW(reg.load("../lib/libsfunrt"), SimulationError);
    // The same S-function is loaded once and shared.
    EXPECT_EQ(reg.load("TestRecorder").get(), reg.load("TestRecorder").get());
}
