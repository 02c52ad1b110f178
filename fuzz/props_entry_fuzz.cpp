// Fuzz target: the property library's C entry, PropsSI, with keys, values
// and fluid names drawn from the input. Half of each choice comes from the
// names the blocks use (so that the flashes are reached), half is raw bytes
// (so that parsing of names is exercised). Every call must return, a number
// or HUGE_VAL with a message; the sanitizers report anything else.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

extern "C" double PropsSI(const char* output, const char* name1, double value1, const char* name2, double value2,
                          const char* fluid);
extern "C" long get_global_param_string(const char* param, char* out, int n);

namespace {

const std::vector<std::string> kKeys{"T", "P", "H", "S", "Q", "D", "U", "C", "V", "L", "Tcrit", "pcrit", "Ttriple",
                                     "ptriple", "molar_mass", "Prandtl", "Cvmass", "Hmass", "Smass", "Dmass", ""};
const std::vector<std::string> kFluids{"R134a", "R32", "R410A", "R404A", "R407C", "R290", "R600a", "R744",
                                       "R1234yf", "R1234ze(E)", "Water", "Air", "INCOMP::MEG-30", "HEOS::R134a", ""};

std::string pick(FuzzedDataProvider& in, const std::vector<std::string>& known)
{
    if (in.ConsumeBool()) return known[in.ConsumeIntegralInRange<std::size_t>(0, known.size() - 1)];
    return in.ConsumeRandomLengthString(40);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    const std::string output = pick(in, kKeys);
    const std::string name1 = pick(in, kKeys);
    const std::string name2 = pick(in, kKeys);
    const std::string fluid = pick(in, kFluids);
    const double value1 = in.ConsumeBool() ? in.ConsumeFloatingPointInRange(-1e3, 1e8) : in.ConsumeFloatingPoint<double>();
    const double value2 = in.ConsumeBool() ? in.ConsumeFloatingPointInRange(-1e3, 1e8) : in.ConsumeFloatingPoint<double>();
    PropsSI(output.c_str(), name1.c_str(), value1, name2.c_str(), value2, fluid.c_str());
    char message[256];
    get_global_param_string("errstring", message, static_cast<int>(sizeof message));
    return 0;
}
