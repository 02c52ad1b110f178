#include "block_output_names.h"

#include <map>

namespace cyclesim {

namespace {

using Ports = std::vector<std::vector<OutputName>>;

const std::vector<OutputName> kCondenserStates = {
    {"L1", "-"}, {"P", "Pa"}, {"h3", "J/kg"}, {"L3", "-"}, {"gamma", "-"}};

const std::map<std::string, Ports>& known_blocks()
{
    static const std::map<std::string, Ports> blocks = {
        {"Orvane", {{{"m_refrigerant", "kg/s"}}}},
        {"Compressor", {{{"p_suction", "Pa"}, {"h_discharge", "J/kg"}, {"W_electric", "W"}}}},
        {"Evaporator",
         {{{"h_sat_liquid", "J/kg"},
           {"h_sat_vapour", "J/kg"},
           {"T_saturation", "K"},
           {"L_two_phase", "-"},
           {"Q_two_phase", "W"},
           {"Q_superheated", "W"},
           {"T_secondary_between_zones", "K"},
           {"T_secondary_out", "K"},
           {"regime", "-"},
           {"h_out", "J/kg"},
           {"superheat", "K"}}}},
        {"Condenser",
         {{{"h_out", "J/kg"},
           {"T_out", "K"},
           {"subcooling", "K"},
           {"Q_refrigerant", "W"},
           {"T_secondary_out", "K"},
           {"gamma_saturated_liquid_end", "-"},
           {"T_secondary_after_zone_1", "K"},
           {"T_secondary_after_zone_2", "K"},
           {"T_secondary_after_zone_3", "K"},
           {"h_mean_zone_1", "J/kg"},
           {"h_mean_zone_3", "J/kg"},
           {"L2", "-"},
           {"Q_zone_1", "W"},
           {"Q_zone_2", "W"},
           {"Q_zone_3", "W"},
           {"Q_zone_1_balance", "W"},
           {"Q_zone_2_balance", "W"},
           {"unused", "-"},
           {"L1_used", "-"},
           {"gamma_used", "-"},
           {"P_out", "Pa"}},
          kCondenserStates,
          {{"dL1_dt", "1/s"}, {"dP_dt", "Pa/s"}, {"dh3_dt", "J/(kg s)"}, {"dL3_dt", "1/s"}, {"dgamma_dt", "1/s"}},
          {{"mode", "-"}}}},
    };
    return blocks;
}

}  // namespace

const std::vector<std::vector<OutputName>>& block_output_names(const std::string& sfunction)
{
    static const Ports none;
    const auto& blocks = known_blocks();
    const auto it = blocks.find(sfunction);
    return it == blocks.end() ? none : it->second;
}

}  // namespace cyclesim
