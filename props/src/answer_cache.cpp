#include "answer_cache.h"

#include <cmath>
#include <cstring>

namespace fluidprops {

namespace {

std::uint64_t bits_of(double v) {
    std::uint64_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

// Mixes a 64-bit word into the hash (multiply-xorshift: neighbouring
// pressures and enthalpies must land in different slots).
std::uint64_t mix(std::uint64_t h, std::uint64_t word) {
    h ^= word + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2);
    h *= 0xff51afd7ed558ccdULL;
    return h ^ (h >> 33);
}

thread_local AnswerCache t_cache;

}  // namespace

bool AnswerCache::encode(const char* output, const char* name1, double value1, const char* name2, double value2,
                         const char* fluid, Question& question) {
    // Length-prefixed, so that no split of one question's texts reads as
    // another's.
    std::size_t n = 0;
    const char* const parts[] = {output, name1, name2, fluid};
    for (const char* part : parts) {
        const std::size_t len = std::strlen(part);
        if (n + 1 + len > kKeyCapacity) return false;
        question.text[n++] = static_cast<char>(len);
        std::memcpy(question.text + n, part, len);
        n += len;
    }
    question.length = n;
    question.value1_bits = bits_of(value1);
    question.value2_bits = bits_of(value2);
    std::uint64_t h = 0xcbf29ce484222325ULL;  // FNV-1a over the texts
    for (std::size_t i = 0; i < n; ++i) h = (h ^ static_cast<unsigned char>(question.text[i])) * 0x100000001b3ULL;
    h = mix(h, question.value1_bits);
    question.hash = mix(h, question.value2_bits);
    return true;
}

bool AnswerCache::find(const Question& q, double& answer) const {
    const Slot& slot = slots_[q.hash % kSlots];
    if (!slot.used || slot.hash != q.hash || slot.value1_bits != q.value1_bits ||
        slot.value2_bits != q.value2_bits || slot.length != q.length ||
        std::memcmp(slot.text, q.text, q.length) != 0)
        return false;
    answer = slot.answer;
    return true;
}

void AnswerCache::store(const Question& q, double answer) {
    if (!std::isfinite(answer)) return;
    Slot& slot = slots_[q.hash % kSlots];
    slot.used = true;
    slot.length = q.length;
    slot.value1_bits = q.value1_bits;
    slot.value2_bits = q.value2_bits;
    slot.hash = q.hash;
    std::memcpy(slot.text, q.text, q.length);
    slot.answer = answer;
}

void AnswerCache::clear() {
    for (Slot& slot : slots_) slot.used = false;
}

AnswerCache& thread_answer_cache() { return t_cache; }

}  // namespace fluidprops
