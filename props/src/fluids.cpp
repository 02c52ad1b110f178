// Registry of the fluids compiled into the library (tables in props/data/).
#include "fluidprops/fluids.h"

#include <string>
#include <unordered_map>
#include <vector>

namespace fluidprops {

namespace data {
extern const FluidData r134a;
extern const FluidData r32;
extern const FluidData n_propane;
extern const FluidData r1234yf;
extern const FluidData r1234ze_e;
extern const FluidData carbondioxide;
extern const FluidData isobutane;
extern const FluidData water;
extern const FluidData r410a;
extern const FluidData r407c;
extern const FluidData r404a;
extern const FluidData air;
}  // namespace data

namespace {

struct Registry {
    std::vector<Fluid> fluids;
    std::unordered_map<std::string, const Fluid*> by_name;

    Registry() {
        const FluidData* tables[] = {&data::r134a,     &data::r32,           &data::n_propane, &data::r1234yf,
                                     &data::r1234ze_e, &data::carbondioxide, &data::isobutane, &data::water,
                                     &data::r410a,     &data::r407c,         &data::r404a,     &data::air};
        fluids.reserve(std::size(tables));
        for (const FluidData* t : tables) fluids.emplace_back(*t);
        for (const Fluid& f : fluids) {
            by_name.emplace(f.data().name, &f);
            for (const char* alias : f.data().aliases) by_name.emplace(alias, &f);
        }
    }
};

const Registry& registry() {
    static const Registry r;
    return r;
}

}  // namespace

std::span<const Fluid> all_fluids() { return registry().fluids; }

const Fluid* find_fluid(std::string_view name) {
    constexpr std::string_view kPrefix = "HEOS::";
    if (name.substr(0, kPrefix.size()) == kPrefix) name.remove_prefix(kPrefix.size());
    const auto& map = registry().by_name;
    const auto it = map.find(std::string(name));
    return it == map.end() ? nullptr : it->second;
}

}  // namespace fluidprops
