// Dialog values as blocks see them: fields, numbers, text and its truncation.
#include <gtest/gtest.h>

#include "dialog_values.h"
#include "errors.h"

using cyclesim::dialog_value_from_json;
using nlohmann::json;

TEST(DialogValues, RecordFieldsNumbersAndText)
{
    auto rec = dialog_value_from_json(json::parse(R"({"a": 2.5, "v": [1, 2, 3], "name": "R134a"})"), "p");
    ASSERT_TRUE(mxIsStruct(rec.get()));
    const mxArray* a = mxGetField(rec.get(), 0, "a");
    ASSERT_NE(mxGetPr(a), nullptr);
    EXPECT_EQ(*mxGetPr(a), 2.5);
    const mxArray* v = mxGetField(rec.get(), 0, "v");
    EXPECT_EQ(mxGetM(v), 1u);
    EXPECT_EQ(mxGetN(v), 3u);
    EXPECT_EQ(mxGetPr(v)[2], 3.0);
    // Missing field, element index beyond the 1-by-1 record, text read as numbers.
    EXPECT_EQ(mxGetField(rec.get(), 0, "missing"), nullptr);
    EXPECT_EQ(mxGetField(rec.get(), 1, "a"), nullptr);
    EXPECT_EQ(mxGetPr(mxGetField(rec.get(), 0, "name")), nullptr);
    EXPECT_EQ(mxGetField(nullptr, 0, "a"), nullptr);
}

TEST(DialogValues, GetStringCopiesSafely)
{
    auto text = dialog_value_from_json(json("R1234ze(E)"), "p");
    char big[100];
    EXPECT_EQ(mxGetString(text.get(), big, sizeof big), 0);
    EXPECT_STREQ(big, "R1234ze(E)");

    // Exactly fitting: 10 characters and the terminator.
    char exact[11];
    EXPECT_EQ(mxGetString(text.get(), exact, sizeof exact), 0);
    EXPECT_STREQ(exact, "R1234ze(E)");

    // One byte short: truncated to n-1 characters, terminated, reported.
    char small[10] = {'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x'};
    EXPECT_NE(mxGetString(text.get(), small, sizeof small), 0);
    EXPECT_STREQ(small, "R1234ze(E");

    // Not text: non-zero, empty result.
    auto number = dialog_value_from_json(json(3.0), "p");
    char out[8] = "abc";
    EXPECT_NE(mxGetString(number.get(), out, sizeof out), 0);
    EXPECT_STREQ(out, "");
    EXPECT_NE(mxGetString(nullptr, out, sizeof out), 0);
}

TEST(DialogValues, RefusesValuesWithoutADialogMeaning)
{
    EXPECT_THROW(dialog_value_from_json(json(true), "parameter 1"), cyclesim::SimulationError);
    EXPECT_THROW(dialog_value_from_json(json(nullptr), "parameter 1"), cyclesim::SimulationError);
    try {
        dialog_value_from_json(json::parse(R"({"v": [1, "x"]})"), "parameter 2");
        FAIL() << "mixed array accepted";
    } catch (const cyclesim::SimulationError& e) {
        EXPECT_NE(std::string(e.what()).find("parameter 2 field \"v\""), std::string::npos) << e.what();
    }
}
