#include "condenser_inventory.h"

#include "errors.h"
#include "number_text.h"

#include <cmath>

namespace cyclesim {

namespace {

double field(const nlohmann::json& record, const char* name, const std::string& where)
{
    auto it = record.find(name);
    if (it == record.end() || !it->is_number() || !std::isfinite(it->get<double>()))
        throw SimulationError(where + ": field \"" + name + "\" is not a finite number");
    return it->get<double>();
}

}  // namespace

CondenserDialog read_condenser_dialog(const BlockSpec& block)
{
    const std::string where = "block '" + block.name + "' (S-function Condenser)";
    const auto& params = block.settings.at("params");
    if (!params.is_array() || params.size() != 5 || !params[0].is_object() || !params[1].is_string() ||
        !params[3].is_object() || !params[4].is_object())
        throw SimulationError(where + ": expected the five dialog parameters of a condenser");
    CondenserDialog d;
    d.fluid = params[1].get<std::string>();
    const auto& g = params[0];
    const double area = 3.14159265359 * field(g, "N_pasos", where) * field(g, "N_tubos", where) *
                        field(g, "D_tubos", where) * field(g, "L_tubos", where);
    d.volume = field(g, "D_tubos", where) / 4.0 * area;
    if (!(d.volume > 0)) throw SimulationError(where + ": the tube geometry gives no refrigerant volume");
    d.mode = field(params[3], "Condenser_mode", where);
    d.L_min = field(params[4], "Lmin", where);
    return d;
}

double condenser_charge(const PropertyFunction& props, const CondenserDialog& dialog, const CondenserZones& z)
{
    // The block's linear pressure profile: outlet 2P - P_in, zone 1 ending at
    // Pg, zone 3 starting at Pf; each zone's density at its mean pressure.
    const double P_out = 2.0 * z.P - z.P_in;
    const double Pg = z.P_in - (z.P_in - P_out) * z.L1;
    const double Pf = (z.P_in - P_out) * z.L3 + P_out;
    const double rho1 = props("D", "P", 0.5 * (Pg + z.P_in), "H", z.h1, dialog.fluid);
    const double rho_g = props("D", "P", Pg, "Q", 1.0, dialog.fluid);
    const double rho_f = props("D", "P", Pf, "Q", 0.0, dialog.fluid);
    const double rho2 = 1.0 / (0.5 / rho_g + 0.5 / rho_f);
    const double rho3 = props("D", "P", 0.5 * (Pf + P_out), "H", z.h3, dialog.fluid);
    const double L2 = 1.0 - z.L1 - z.L3;
    return dialog.volume * (rho1 * z.L1 + rho2 * L2 + rho3 * z.L3);
}

}  // namespace cyclesim
