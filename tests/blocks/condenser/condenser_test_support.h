// Helpers for calling the condenser's model functions directly: the analytic
// property library compiled into the test, a recorder of the queries made, the
// real property library opened by hand, and the parameter records filled with
// a typical finned-tube geometry.
#pragma once

#include <dlfcn.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "Cond.h"
#include "analytic_props.h"
#include "test_workdir.h"

namespace condtest {

// Closed forms of the analytic fluid (see analytic_props.h).
inline double tsat(double P) { return 200.0 + 10.0 * P / 1e5; }
inline double hf(double P) { return 1e5 + 1000.0 * (tsat(P) - 200.0); }
inline double hg(double P) { return hf(P) + 2e5; }

// Every query the model makes passes through here on its way to the current
// library, so tests can count them and look at their order.
struct Query {
    std::string out, n1, n2, fluid;
    double v1, v2;
};
inline std::vector<Query>& queries()
{
    static std::vector<Query> q;
    return q;
}
inline CPType& forward_to()
{
    static CPType f = &PropsSI;
    return f;
}
extern "C" inline double recording_props(const char* out, const char* n1, double v1, const char* n2, double v2,
                                         const char* fluid)
{
    queries().push_back({out, n1, n2, fluid, v1, v2});
    return forward_to()(out, n1, v1, n2, v2, fluid);
}

// The real property library, when it has been built (null otherwise).
inline CPType real_props()
{
    static void* handle = nullptr;
    static CPType entry = nullptr;
    if (!entry && std::filesystem::exists(testsupport::real_library())) {
        handle = dlopen(testsupport::real_library().c_str(), RTLD_LAZY | RTLD_LOCAL);
        if (handle) entry = reinterpret_cast<CPType>(dlsym(handle, "PropsSI"));
    }
    return entry;
}

// Dialog values the records point at (one condenser: 4 passes of 10 tubes,
// 0.5 m long, 9.5 mm bore).
struct Records {
    double N_pasos = 4, N_tubos = 10, L_tubos = 0.5, D_tubos = 0.0095, kperd = 0;
    double alfa1 = 100, alfa2 = 200, alfa3 = 50;
    double Lmin = 0.02, Lmin_gamma = 0.05, Kh = 0.5, Kgamma = 0;

    explicit Records(const char* tipo = TIPO_FLUJO_CRUZADO, const char* refrigerant = "Analytic",
                     const char* secondary = "Air")
    {
        CondAire.N_pasos = &N_pasos;
        CondAire.N_tubos = &N_tubos;
        CondAire.L_tubos = &L_tubos;
        CondAire.D_tubos = &D_tubos;
        CondAire.kperd = &kperd;
        CondAire.alfa1 = &alfa1;
        CondAire.alfa2 = &alfa2;
        CondAire.alfa3 = &alfa3;
        CondAire.Aintercambio = M_PI * N_pasos * N_tubos * D_tubos * L_tubos;
        CondAire.V_R = D_tubos / 4.0 * CondAire.Aintercambio;
        set_type(tipo);
        std::snprintf(refr, sizeof refr, "%s", refrigerant);
        std::snprintf(secflux, sizeof secflux, "%s", secondary);
        Param_sim.Lmin = &Lmin;
        Param_sim.Lmin_gamma = &Lmin_gamma;
        Param_sim.Kh = &Kh;
        Param_sim.Kgamma = &Kgamma;
    }
    void set_type(const char* tipo) { std::snprintf(CondAire.tipo_interc, sizeof CondAire.tipo_interc, "%s", tipo); }
    Records(const Records&) = delete;
    Records& operator=(const Records&) = delete;
};

// A typical operating point: refrigerant entering 20 K superheated at 12 bar,
// leaving 8 K subcooled, air at 300 K.
struct Point {
    double x[5] = {0.1, 1.19e6, 210000.0, 0.1, 0.85};  // L1, P, h3, L3, gamma
    double u[4] = {0.0056, 0.0056, 440000.0, 1.2e6};   // mR_in, mR_out, hR_in, P_in
    double w[3] = {300.0, 0.25, 1e5};                   // Tsec_in, msec, Psec_in
};

inline double rel(double a, double b) { return std::fabs(a - b) / std::fmax(std::fabs(b), 1e-300); }

}  // namespace condtest
