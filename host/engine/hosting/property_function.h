// The property library as the host itself reaches it, for the few host
// computations that need refrigerant properties (a condenser's charge, the
// saturation temperature of a start state): the same library the blocks
// load, Tarvex_files/libCoolProp.so under the working directory (the run
// directory), so host and blocks always agree on the fluid.
#pragma once

#include <string>

namespace cyclesim {

class PropertyFunction {
public:
    // Loads ./Tarvex_files/libCoolProp.so. Throws SimulationError when it is
    // missing or has no PropsSI.
    PropertyFunction();
    ~PropertyFunction();
    PropertyFunction(const PropertyFunction&) = delete;
    PropertyFunction& operator=(const PropertyFunction&) = delete;

    // PropsSI(output, name1, value1, name2, value2, fluid). Throws
    // SimulationError with the library's own message for a refused query
    // (the library answers HUGE_VAL) or a non-finite answer.
    double operator()(const char* output, const char* name1, double value1, const char* name2, double value2,
                      const std::string& fluid) const;

private:
    using Entry = double (*)(const char*, const char*, double, const char*, double, const char*);
    using Message = long (*)(const char*, char*, int);
    void* handle_ = nullptr;
    Entry entry_ = nullptr;
    Message message_ = nullptr;
};

}  // namespace cyclesim
