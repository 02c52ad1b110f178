// The rules of the S-function interface that the host holds blocks to, as the
// commercial host applies them: sample times only below the count the block
// set (none by default), continuous states changed only in major steps and
// with a solver reset, mdlTerminate only after a start that completed (or
// with SS_OPTION_CALL_TERMINATE_ON_EXIT), mdlCheckParameters when the dialog
// changes. Driven through the recorder plug-in, which can break each rule.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "block_instance.h"
#include "contract_checks.h"
#include "errors.h"
#include "console_capture.h"
#include "simulation_error.h"
#include "test_workdir.h"

extern "C" {
#include "sfun_runtime.h"
}

using namespace cyclesim;
using nlohmann::json;

namespace {

std::unique_ptr<BlockInstance> make_recorder(PluginRegistry& reg, json record)
{
    json base = {{"inputs", json::array()}, {"outputs", {3}}, {"states", 1}, {"rwork", 0}};
    base.update(record);
    return std::make_unique<BlockInstance>(reg.load("TestRecorder"), "rec",
                                           dialog_from_json(json::array({base, "x"}), "rec"));
}

std::string initialize_error(BlockInstance& b)
{
    return testsupport::simulation_error_of([&] { b.initialize(); });
}

}  // namespace

TEST(ContractChecks, SampleTimesExistOnlyBelowTheCountTheBlockSet)
{
    PluginRegistry reg(testsupport::blocks_dir());
    // No ssSetNumSampleTimes: the default is none, so setting index 0 is out of range.
    auto unset = make_recorder(reg, {{"sample_times", -1}});
    std::string m = initialize_error(*unset);
    EXPECT_NE(m.find("block 'rec' (S-function TestRecorder) in mdlInitializeSampleTimes"), std::string::npos) << m;
    EXPECT_NE(m.find("sample time index 0"), std::string::npos) << m;
    EXPECT_NE(m.find("0 sample times"), std::string::npos) << m;
    // A count of one makes index 0 a sample time: continuous.
    auto one = make_recorder(reg, json::object());
    EXPECT_EQ(initialize_error(*one), "");
    ASSERT_EQ(one->num_sample_times(), 1);
    EXPECT_EQ(one->sample_time(0), 0.0);
    EXPECT_EQ(one->offset_time(0), 0.0);
}

TEST(ContractChecks, TerminateFollowsTheStartAsDocumented)
{
    PluginRegistry reg(testsupport::blocks_dir());
    {
        ConsoleCapture console;
        {
            auto b = make_recorder(reg, {{"fail_start", 1}});
            EXPECT_NE(initialize_error(*b).find("in mdlStart"), std::string::npos);
        }
        // The start failed and the block did not ask: no mdlTerminate.
        EXPECT_EQ(console.text.find("terminate;"), std::string::npos) << console.text;
    }
    {
        ConsoleCapture console;
        {
            auto b = make_recorder(reg, {{"fail_start", 1}, {"terminate_on_exit", 1}});
            EXPECT_NE(initialize_error(*b).find("start refused"), std::string::npos);
        }
        EXPECT_NE(console.text.find("terminate;"), std::string::npos) << console.text;
    }
    {
        // Sized but never started (the run stopped before): terminate only on request.
        ConsoleCapture console;
        {
            auto b = make_recorder(reg, json::object());
            b->initialize_sizes();
            b->initialize_sample_times();
        }
        EXPECT_EQ(console.text.find("terminate;"), std::string::npos) << console.text;
    }
}

TEST(ContractChecks, CheckParametersRunsWhenTheDialogChanges)
{
    PluginRegistry reg(testsupport::blocks_dir());
    ConsoleCapture console;
    auto b = make_recorder(reg, json::object());
    b->initialize();
    EXPECT_EQ(console.text, "sizes;check;sampletimes;start;initcond;");
    console.text.clear();
    b->set_parameter(1, dialog_value_from_json(json("y"), "p"));
    EXPECT_EQ(console.text, "check;");
    // A change the block refuses is reported with the callback that refused it.
    try {
        b->set_parameter(0, dialog_value_from_json(json(3.0), "p"));
        FAIL() << "refused parameter accepted";
    } catch (const SimulationError& e) {
        const std::string m = e.what();
        EXPECT_NE(m.find("in mdlCheckParameters"), std::string::npos) << m;
        EXPECT_NE(m.find("parameter 1 must be a record"), std::string::npos) << m;
    }
}

TEST(ContractChecks, ContinuousStatesChangeOnlyInMajorStepsWithAReset)
{
    PluginRegistry reg(testsupport::blocks_dir());
    std::vector<std::string> reports;
    ContractPolicy lenient;
    lenient.sink = [&reports](const std::string& r) { reports.push_back(r); };

    auto toucher = make_recorder(reg, {{"touch_state", 1}});
    toucher->initialize();
    {
        ScopedContractPolicy policy(lenient);
        toucher->outputs(0.5, false);
        toucher->outputs(0.6, false);  // the same rule broken again: one report
        ASSERT_EQ(reports.size(), 1u);
        EXPECT_NE(reports[0].find("block 'rec' (S-function TestRecorder) in mdlOutputs: continuous state 0 "
                                  "changed from 1 to 2 at t = 0.5 in a minor step"),
                  std::string::npos)
            << reports[0];
        toucher->outputs(0.7, true);
        ASSERT_EQ(reports.size(), 2u);
        EXPECT_NE(reports[1].find("in a major step without ssSetSolverNeedsReset"), std::string::npos) << reports[1];
        // Lenient: the change stays, and the host restarts its solver anyway.
        EXPECT_EQ(toucher->cont_states()[0], 4.0);
    }
    {
        ContractPolicy strict;
        strict.strict = true;
        ScopedContractPolicy policy(strict);
        EXPECT_THROW(toucher->outputs(0.8, false), SimulationError);
    }

    // The same change in a major step with a reset request is what the
    // interface asks for: no report, and the request reaches the solver once.
    auto polite = make_recorder(reg, {{"touch_state", 2}});
    polite->initialize();
    ContractPolicy strict;
    strict.strict = true;
    ScopedContractPolicy policy(strict);
    EXPECT_NO_THROW(polite->outputs(0.5, true));
    EXPECT_TRUE(polite->take_reset_request());
    EXPECT_FALSE(polite->take_reset_request());
    // Asking for a reset does not make a minor-step change acceptable.
    EXPECT_THROW(polite->outputs(0.6, false), SimulationError);
}
