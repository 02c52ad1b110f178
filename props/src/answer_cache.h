// Recent answers of the C entry, kept per thread.
//
// A block asks the same question many times at the same arguments: the
// saturation temperature at its pressure in every iteration, the flow at a
// point its solver already evaluated, the same secondary-fluid specific heat
// at every step. A property is a pure function of its six arguments, so the
// answer of an identical call can be returned without computing it again.
//
// The table is direct-mapped: each question has one slot, chosen by a hash
// of its arguments; a new question simply replaces whatever held the slot.
// A hit requires the same texts and the same bits of both numbers (so 0.0 and
// -0.0, or two NaNs with different payloads, are different questions). Only
// finite answers are stored: a refused question is asked again, so that its
// message is set again.
#pragma once

#include <cstddef>
#include <cstdint>

namespace fluidprops {

class AnswerCache {
public:
    static constexpr std::size_t kSlots = 1024;
    // Longest encoding of the four texts that is kept; longer questions are
    // answered without the table.
    static constexpr std::size_t kKeyCapacity = 47;

    // One question, encoded once for looking up and storing.
    struct Question {
        char text[kKeyCapacity];  // each text preceded by its length
        std::size_t length;
        std::uint64_t value1_bits, value2_bits, hash;
    };
    // Encodes a question; false when it is too long to keep.
    static bool encode(const char* output, const char* name1, double value1, const char* name2, double value2,
                       const char* fluid, Question& question);

    // The stored answer of this question, or false.
    bool find(const Question& question, double& answer) const;
    // Remembers a finite answer (anything else is ignored).
    void store(const Question& question, double answer);
    void clear();

private:
    // Plain data, zero when unused: a thread's table needs neither a
    // constructor nor a destructor (the library may be unloaded while
    // threads that used it live on).
    struct Slot {
        bool used;
        std::size_t length;
        std::uint64_t value1_bits, value2_bits, hash;
        char text[kKeyCapacity];
        double answer;
    };
    Slot slots_[kSlots];
};

// The calling thread's table (the C entry's).
AnswerCache& thread_answer_cache();

}  // namespace fluidprops
