#include "property_function.h"

#include "block_directory.h"
#include "errors.h"
#include "number_text.h"

#include <dlfcn.h>

#include <cmath>
#include <filesystem>

namespace cyclesim {

PropertyFunction::PropertyFunction()
{
    const auto lib = block_property_library();
    handle_ = dlopen(lib.c_str(), RTLD_LAZY | RTLD_LOCAL);
    if (!handle_) throw SimulationError("cannot load the property library " + lib.string());
    entry_ = reinterpret_cast<Entry>(dlsym(handle_, "PropsSI"));
    message_ = reinterpret_cast<Message>(dlsym(handle_, "get_global_param_string"));
    if (!entry_) {
        dlclose(handle_);
        throw SimulationError("the property library " + lib.string() + " has no PropsSI");
    }
}

PropertyFunction::~PropertyFunction()
{
    if (handle_) dlclose(handle_);
}

double PropertyFunction::operator()(const char* output, const char* name1, double value1, const char* name2,
                                    double value2, const std::string& fluid) const
{
    const double v = entry_(output, name1, value1, name2, value2, fluid.c_str());
    if (std::isfinite(v) && v != HUGE_VAL) return v;
    std::string why;
    if (message_) {
        char buf[1000] = {0};
        if (message_("errstring", buf, static_cast<int>(sizeof buf)) >= 0) {
            buf[sizeof buf - 1] = '\0';
            why = buf;
        }
    }
    throw SimulationError(std::string("property ") + output + " of " + fluid + " at " + name1 + " = " +
                          number_text(value1) + ", " + name2 + " = " + number_text(value2) + " refused" +
                          (why.empty() ? "" : ": " + why));
}

}  // namespace cyclesim
