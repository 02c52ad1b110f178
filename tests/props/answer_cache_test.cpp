// The C entry's table of recent answers: a kept answer is returned only for
// exactly the same question (its use through the C entry: c_entry_test.cpp).
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "answer_cache.h"

namespace {

using fluidprops::AnswerCache;

AnswerCache::Question ask(const char* out, const char* n1, double v1, const char* n2, double v2, const char* fluid) {
    AnswerCache::Question q;
    EXPECT_TRUE(AnswerCache::encode(out, n1, v1, n2, v2, fluid, q));
    return q;
}

TEST(AnswerCache, OnlyTheSameTextsAndTheSameBitsOfBothNumbersFindAnAnswer) {
    static AnswerCache cache;  // 100 kB: not on the stack
    cache.clear();
    cache.store(ask("T", "P", 1e6, "Q", 0.0, "R134a"), 312.5);
    double a = 0.0;
    ASSERT_TRUE(cache.find(ask("T", "P", 1e6, "Q", 0.0, "R134a"), a));
    EXPECT_EQ(a, 312.5);

    const double next = std::nextafter(1e6, 2e6);
    EXPECT_FALSE(cache.find(ask("T", "P", next, "Q", 0.0, "R134a"), a)) << "one ulp of the first number";
    EXPECT_FALSE(cache.find(ask("T", "P", 1e6, "Q", -0.0, "R134a"), a)) << "-0.0 is another question";
    EXPECT_FALSE(cache.find(ask("H", "P", 1e6, "Q", 0.0, "R134a"), a));
    EXPECT_FALSE(cache.find(ask("T", "P", 1e6, "Q", 0.0, "R134A"), a)) << "texts compare exactly";
    EXPECT_FALSE(cache.find(ask("T", "P", 1e6, "Q", 0.0, "R134"), a));
    // The same characters split differently are a different question.
    cache.store(ask("HP", "Q", 1.0, "P", 2.0, "R32"), 7.0);
    EXPECT_FALSE(cache.find(ask("H", "PQ", 1.0, "P", 2.0, "R32"), a));
    EXPECT_FALSE(cache.find(ask("HP", "Q", 2.0, "P", 1.0, "R32"), a)) << "the numbers swapped";
}

TEST(AnswerCache, KeepsOnlyFiniteAnswersOfQuestionsThatFit) {
    static AnswerCache cache;
    cache.clear();
    double a = 0.0;
    for (double bad : {HUGE_VAL, -HUGE_VAL, std::numeric_limits<double>::quiet_NaN()}) {
        cache.store(ask("T", "P", 1e6, "Q", 0.0, "R134a"), bad);
        EXPECT_FALSE(cache.find(ask("T", "P", 1e6, "Q", 0.0, "R134a"), a)) << bad;
    }
    AnswerCache::Question q;
    const std::string long_name(60, 'x');
    EXPECT_FALSE(AnswerCache::encode("T", "P", 1e6, "Q", 0.0, long_name.c_str(), q));
}

TEST(AnswerCache, AQuestionThatTakesAnotherSlotReplacesItsAnswer) {
    static AnswerCache cache;
    cache.clear();
    const AnswerCache::Question first = ask("C", "P", 3e5, "H", 4e5, "R134a");
    // Another enthalpy whose question lands in the same slot.
    AnswerCache::Question other{};
    for (double h = 4e5 + 1.0; h < 4e5 + 1e6; h += 1.0) {
        other = ask("C", "P", 3e5, "H", h, "R134a");
        if (other.hash % AnswerCache::kSlots == first.hash % AnswerCache::kSlots) break;
    }
    ASSERT_EQ(other.hash % AnswerCache::kSlots, first.hash % AnswerCache::kSlots);
    cache.store(first, 1.0);
    cache.store(other, 2.0);
    double a = 0.0;
    EXPECT_FALSE(cache.find(first, a));
    ASSERT_TRUE(cache.find(other, a));
    EXPECT_EQ(a, 2.0);
}

}  // namespace
