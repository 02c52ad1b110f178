// The shared library as the blocks use it: loaded with dlopen from
// Tarvex_files/libCoolProp.so, only the C entry points visible.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cmath>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "fluidprops/props_si.h"

namespace {

using PropsFn = double (*)(const char*, const char*, double, const char*, double, const char*);
using ParamFn = long (*)(const char*, char*, int);

class CEntry : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string path = std::string(CYCLESIM_BUILD_DIR) + "/Tarvex_files/libCoolProp.so";
        handle_ = dlopen(path.c_str(), RTLD_LAZY);
        ASSERT_NE(handle_, nullptr) << dlerror();
        props_ = reinterpret_cast<PropsFn>(dlsym(handle_, "PropsSI"));
        param_ = reinterpret_cast<ParamFn>(dlsym(handle_, "get_global_param_string"));
        ASSERT_NE(props_, nullptr);
        ASSERT_NE(param_, nullptr);
    }
    void TearDown() override {
        if (handle_) dlclose(handle_);
    }
    std::string errstring() {
        char buf[1024];
        param_("errstring", buf, sizeof buf);
        return buf;
    }
    void* handle_ = nullptr;
    PropsFn props_ = nullptr;
    ParamFn param_ = nullptr;
};

TEST_F(CEntry, AnswersQueries) {
    const double T = props_(("T"), "P", 101325, "Q", 0, "Water");
    EXPECT_NEAR(T, 373.1242958476665, 1e-10);
    EXPECT_NEAR(props_("H", "P", 1e6, "Q", 0, "R134a"), 255495.8561, 1e-3);
}

TEST_F(CEntry, FailuresReturnHugeValAndKeepTheMessage) {
    EXPECT_EQ(props_("H", "P", 1e6, "Q", 0, "NotAFluid"), HUGE_VAL);
    std::string m = errstring();
    EXPECT_NE(m.find("unknown fluid"), std::string::npos) << m;
    EXPECT_NE(m.find("NotAFluid"), std::string::npos) << m;

    EXPECT_EQ(props_("C", "P", 1e6, "Q", 0.5, "R134a"), HUGE_VAL);
    m = errstring();
    EXPECT_NE(m.find("two-phase"), std::string::npos) << m;

    EXPECT_EQ(props_("T", "P", NAN, "Q", 0, "R134a"), HUGE_VAL);
    EXPECT_EQ(props_(nullptr, "P", 1e6, "Q", 0, "R134a"), HUGE_VAL);
    EXPECT_EQ(props_("T", nullptr, 1e6, "Q", 0, "R134a"), HUGE_VAL);
    EXPECT_EQ(props_("T", "P", 1e6, "Q", 0, nullptr), HUGE_VAL);
    EXPECT_NE(errstring().find("null"), std::string::npos);
}

TEST_F(CEntry, ParameterStringsAreTruncatedSafely) {
    props_("H", "P", 1e6, "Q", 0, "SomeUnknownFluidName");
    const std::string full = errstring();
    ASSERT_GT(full.size(), 10u);
    char buf[16];
    std::memset(buf, 'x', sizeof buf);
    EXPECT_EQ(param_("errstring", buf, 8), 0);   // did not fit
    EXPECT_EQ(std::string(buf), full.substr(0, 7));
    EXPECT_EQ(buf[8], 'x');                      // nothing written past n
    EXPECT_EQ(param_("errstring", buf, 0), 0);
    EXPECT_EQ(buf[8], 'x');

    char version[64];
    EXPECT_EQ(param_("version", version, sizeof version), 1);
    EXPECT_GT(std::strlen(version), 0u);
    EXPECT_EQ(param_("no_such_parameter", version, sizeof version), 0);
    EXPECT_EQ(param_(nullptr, version, sizeof version), 0);
}

TEST_F(CEntry, OtherParameterLookupsKeepTheErrorMessage) {
    EXPECT_EQ(props_("H", "P", 1e6, "Q", 0, "KeepThisFluidName"), HUGE_VAL);
    char buf[64];
    EXPECT_EQ(param_("no_such_parameter", buf, sizeof buf), 0);
    EXPECT_EQ(param_(nullptr, buf, sizeof buf), 0);
    EXPECT_EQ(param_("version", buf, sizeof buf), 1);
    EXPECT_EQ(param_("FluidsList", buf, 8), 0);
    EXPECT_NE(errstring().find("KeepThisFluidName"), std::string::npos) << errstring();
    // A successful call leaves it as well.
    EXPECT_NE(props_("H", "P", 1e6, "Q", 0, "R134a"), HUGE_VAL);
    EXPECT_NE(errstring().find("KeepThisFluidName"), std::string::npos) << errstring();
}

// Blocks in several threads of one host each read back the message of their
// own failure, in the thread that failed.
TEST_F(CEntry, ErrorMessageIsKeptPerThread) {
    constexpr int kThreads = 4, kCalls = 3000;
    std::vector<int> wrong(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([this, t, &wrong] {
            char buf[512];
            for (int i = 0; i < kCalls; ++i) {
                const std::string fluid = "NoFluid_" + std::to_string(t) + "_" + std::to_string(i);
                if (props_("H", "P", 1e6, "Q", 0, fluid.c_str()) != HUGE_VAL) ++wrong[t];
                // Other look-ups in between, as a block might make them.
                if (i % 3 == 0) param_("no_such_parameter", buf, sizeof buf);
                if (i % 5 == 0) param_(nullptr, buf, sizeof buf);
                param_("errstring", buf, sizeof buf);
                if (std::string(buf).find("\"" + fluid + "\"") == std::string::npos) ++wrong[t];
            }
        });
    }
    for (auto& th : threads) th.join();
    for (int t = 0; t < kThreads; ++t) EXPECT_EQ(wrong[t], 0) << "thread " << t;
}

// The library keeps the answers of recent questions: a repeated question gets
// exactly the computed answer, and a refusal is never hidden.
TEST_F(CEntry, RepeatedQuestionsGetTheComputedAnswerBitForBit) {
    // Ask a sweep three times, so that later rounds are answered from the
    // table (or recomputed where a slot was taken): every answer must equal
    // the library's own computation exactly.
    for (int round = 0; round < 3; ++round) {
        for (int i = 0; i < 300; ++i) {
            const double p = 2e5 + 1e3 * i, h = 4.1e5 + 37.0 * i;
            ASSERT_EQ(props_("C", "P", p, "H", h, "R134a"), fluidprops::props_si("C", "P", p, "H", h, "R134a"))
                << "round " << round << ", p = " << p;
            ASSERT_EQ(props_("T", "P", p, "Q", 1.0, "R134a"), fluidprops::props_si("T", "P", p, "Q", 1.0, "R134a"));
        }
    }
}

TEST_F(CEntry, ARefusedQuestionIsRefusedAgainWithItsOwnMessage) {
    EXPECT_EQ(props_("C", "P", 1e6, "Q", 0.5, "R134a"), HUGE_VAL);
    EXPECT_NE(errstring().find("two-phase"), std::string::npos) << errstring();
    EXPECT_EQ(props_("H", "P", 1e6, "Q", 0, "NotAFluid"), HUGE_VAL);
    EXPECT_NE(errstring().find("NotAFluid"), std::string::npos) << errstring();
    // The first question again: refused again, and its message is back.
    EXPECT_EQ(props_("C", "P", 1e6, "Q", 0.5, "R134a"), HUGE_VAL);
    EXPECT_NE(errstring().find("two-phase"), std::string::npos) << errstring();
    // A valid question between two identical refusals does not answer them.
    EXPECT_TRUE(std::isfinite(props_("C", "P", 1e6, "Q", 0.0, "R134a")));
    EXPECT_EQ(props_("C", "P", 1e6, "Q", 0.5, "R134a"), HUGE_VAL);
}

TEST_F(CEntry, OnlyTheCEntryPointsAreExported) {
    // The C++ core stays internal to the shared library.
    EXPECT_EQ(dlsym(handle_, "_ZN10fluidprops8props_siESt17basic_string_viewIcSt11char_traitsIcEES3_dS3_dS3_"), nullptr);
    EXPECT_EQ(dlsym(handle_, "_ZN10fluidprops10find_fluidESt17basic_string_viewIcSt11char_traitsIcEE"), nullptr);
}

}  // namespace
