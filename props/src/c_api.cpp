// Flat C entry points of the shared library. They only translate between the
// C calling convention and the C++ core: every failure becomes HUGE_VAL (or a
// zero return) and its message is kept for get_global_param_string.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <string_view>

#include "answer_cache.h"
#include "fluidprops/error.h"
#include "fluidprops/fluids.h"
#include "fluidprops/props_si.h"

#define FLUIDPROPS_API extern "C" __attribute__((visibility("default")))

namespace {

// The message of the last failed call, one per thread: blocks running in
// several threads of one host read back the message of their own failure.
// A plain character array, so that a thread's copy needs no destructor (the
// library may be unloaded while threads that used it live on).
constexpr std::size_t kErrorCapacity = 2048;
thread_local char t_last_error[kErrorCapacity] = {};

void set_error(const std::string& message) {
    const std::size_t len = std::min(message.size(), kErrorCapacity - 1);
    std::memcpy(t_last_error, message.data(), len);
    t_last_error[len] = '\0';
}

std::string view(const char* s) { return s ? std::string(s) : std::string(); }

std::string describe_call(const char* output, const char* name1, double value1, const char* name2, double value2,
                          const char* fluid) {
    char buf[512];
    std::snprintf(buf, sizeof buf, "PropsSI(\"%s\", \"%s\", %.17g, \"%s\", %.17g, \"%s\")", view(output).c_str(),
                  view(name1).c_str(), value1, view(name2).c_str(), value2, view(fluid).c_str());
    return buf;
}

// Copies text into out (at most n-1 characters and a terminator).
long copy_out(const std::string& text, char* out, int n) {
    if (!out || n <= 0) return 0;
    const std::size_t len = std::min(text.size(), static_cast<std::size_t>(n - 1));
    std::memcpy(out, text.data(), len);
    out[len] = '\0';
    return len == text.size() ? 1 : 0;
}

}  // namespace

FLUIDPROPS_API double PropsSI(const char* output, const char* name1, double value1, const char* name2, double value2,
                              const char* fluid) {
    try {
        if (!output || !name1 || !name2 || !fluid) throw fluidprops::PropertyError("null argument");
        // A question asked before on this thread has its answer kept.
        fluidprops::AnswerCache& cache = fluidprops::thread_answer_cache();
        fluidprops::AnswerCache::Question question;
        const bool keep = fluidprops::AnswerCache::encode(output, name1, value1, name2, value2, fluid, question);
        double r;
        if (keep && cache.find(question, r)) return r;
        r = fluidprops::props_si(output, name1, value1, name2, value2, fluid);
        if (!std::isfinite(r)) throw fluidprops::PropertyError("the result is not a finite number");
        if (keep) cache.store(question, r);
        return r;
    } catch (const std::exception& e) {
        set_error(std::string(e.what()) + " : " + describe_call(output, name1, value1, name2, value2, fluid));
    } catch (...) {
        set_error("unexpected failure : " + describe_call(output, name1, value1, name2, value2, fluid));
    }
    return HUGE_VAL;
}

// Parameters: "errstring" (message of the calling thread's last failure), "version",
// "FluidsList" (comma-separated canonical fluid names). Returns 1 when the
// whole text fitted into out, 0 when it was truncated or the parameter is unknown.
FLUIDPROPS_API long get_global_param_string(const char* param, char* out, int n) {
    try {
        const std::string_view p = param ? param : "";
        std::string text;
        if (p == "errstring") {
            text = t_last_error;
        } else if (p == "version") {
            text = fluidprops::library_version();
        } else if (p == "FluidsList" || p == "fluids_list") {
            for (const auto& f : fluidprops::all_fluids()) {
                if (!text.empty()) text += ',';
                text += f.name();
            }
        } else {
            // An unknown parameter gives an empty text; the last error message
            // stays what it was, for the caller who asks for it next.
            copy_out(std::string(), out, n);
            return 0;
        }
        return copy_out(text, out, n);
    } catch (...) {
        copy_out(std::string(), out, n);
        return 0;
    }
}
