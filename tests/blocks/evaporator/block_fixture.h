// Running the Evaporator plug-in through the host: dialog values, one-shot
// evaluation, decoded outputs and the energy balance of a result.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "block_instance.h"
#include "errors.h"
#include "evaluate.h"
#include "test_workdir.h"

namespace evaptest {

using nlohmann::json;

struct Point {  // input port: hc_out, mR, Pe, Tsec_in, msec_in, psec_in
    double hc_out, mR, Pe, Tsec_in, msec_in, psec_in;
    std::vector<double> inputs() const { return {hc_out, mR, Pe, Tsec_in, msec_in, psec_in}; }
};

struct Settings {
    double N_placas = 10, alfa1 = 800, alfa2 = 150, h_inicial = 401234.5;
    std::string tipo = "PLATE_1_1_CU_1", refr = "Analytic", sec = "Water";

    json params() const
    {
        json p = {{"N_placas", N_placas}, {"medidaF1", 0.01}, {"medidaC", 0.3}, {"medidaD", 0.07},
                  {"medidaF", 0.002}, {"medidaG", 0.05}, {"peso_intercambiador", 0.5}, {"peso_placa", 0.05},
                  {"densidad_material", 8000.0}, {"alfa1", alfa1}, {"alfa2", alfa2}, {"tipo_intercambiador", tipo}};
        return json::array({p, refr, sec, h_inicial});
    }
};

struct Result {
    std::vector<double> y, rwork;
    double L_e_1() const { return y[3]; }
    double Q_e1() const { return y[4]; }
    double Q_e2() const { return y[5]; }
    double T_e_out_1_A() const { return y[6]; }
    double T_e_out_A() const { return y[7]; }
    int modo() const { return static_cast<int>(y[8]); }
    double h_e_out() const { return y[9]; }
    double TSH() const { return y[10]; }
};

inline Result evaluate(const json& params, const Point& p)
{
    cyclesim::PluginRegistry reg(testsupport::blocks_dir());
    cyclesim::EvaluationRequest req;
    req.block = "Evaporator";
    req.params = params;
    req.inputs = json::array({p.inputs()});
    const json out = cyclesim::evaluate_block(reg, req);
    Result r;
    for (const auto& v : out["outputs"][0]) r.y.push_back(v.is_number() ? v.get<double>() : std::nan(""));
    for (const auto& v : out["rwork"]) r.rwork.push_back(v.is_number() ? v.get<double>() : std::nan(""));
    return r;
}

// Refrigerant gain less secondary-fluid loss, relative to the refrigerant's
// inlet enthalpy flow (the scale of the outlet search's tolerance).
inline double energy_imbalance(const Result& r, const Point& p, double cp_sec)
{
    return (p.mR * (r.h_e_out() - p.hc_out) - p.msec_in * cp_sec * (p.Tsec_in - r.T_e_out_A())) / (p.mR * p.hc_out);
}

}  // namespace evaptest
