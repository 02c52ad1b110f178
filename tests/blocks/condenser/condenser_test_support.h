// Helpers for calling the condenser's model functions directly: the analytic
// fluid compiled into the test, a recorder of the queries made, the real
// property library opened by hand, and the records filled with one geometry.
#pragma once

#include <dlfcn.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "Cond.h"
#include "analytic_props.h"
#include "test_workdir.h"

namespace condtest {

// Saturation of the analytic fluid (see analytic_props.h).
inline double tsat(double P) { return 200.0 + 10.0 * P / 1e5; }
inline double hf(double P) { return 1e5 + 1000.0 * (tsat(P) - 200.0); }
inline double hg(double P) { return hf(P) + 2e5; }

struct Query {
    std::string out, fluid;
    double v1;
};
inline std::vector<Query> queries;
inline CPType forward_to = &PropsSI;
// Passes every query on to `forward_to`, keeping a note of it.
inline double recording_props(const char* o, const char* n1, double v1, const char* n2, double v2, const char* f)
{
    queries.push_back({o, f, v1});
    return forward_to(o, n1, v1, n2, v2, f);
}

// The real property library, or null while it has not been built.
inline CPType real_props()
{
    static CPType entry = [] {
        void* h = std::filesystem::exists(testsupport::real_library())
                      ? dlopen(testsupport::real_library().c_str(), RTLD_LAZY | RTLD_LOCAL)
                      : nullptr;
        return h ? reinterpret_cast<CPType>(dlsym(h, "PropsSI")) : nullptr;
    }();
    return entry;
}

// Dialog values the records point at: 4 passes of 10 tubes, 0.5 m, 9.5 mm.
struct Records {
    double g[8] = {4, 10, 0.5, 0.0095, 0, 100, 200, 50};  // N_pasos .. alfa3
    double Lmin = 0.02, Lmin_gamma = 0.05, Kh = 0.5, Kgamma = 0;
    explicit Records(const char* tipo = TIPO_FLUJO_CRUZADO, const char* refrigerant = "Analytic")
    {
        CondAire = ParamCond{&g[0], &g[1], &g[2], &g[3], &g[4], &g[5], &g[6], &g[7], 0, 0, {}};
        CondAire.Aintercambio = M_PI * g[0] * g[1] * g[3] * g[2];
        CondAire.V_R = g[3] / 4 * CondAire.Aintercambio;
        type(tipo);
        std::snprintf(refr, sizeof refr, "%s", refrigerant);
        std::snprintf(secflux, sizeof secflux, "Air");
        Param_sim = Parametros_de_simulacion{&Lmin, &Lmin_gamma, &Kh, &Kgamma};
    }
    void type(const char* t) { std::snprintf(CondAire.tipo_interc, sizeof CondAire.tipo_interc, "%s", t); }
    Records(const Records&) = delete;
};

// Refrigerant entering 20 K superheated at 12 bar, leaving subcooled; air 300 K.
struct Point {
    double x[5] = {0.1, 1.19e6, 210000.0, 0.1, 0.85};  // L1, P, h3, L3, gamma
    double u[4] = {0.0056, 0.0056, 440000.0, 1.2e6};   // mR_in, mR_out, hR_in, P_in
    double w[3] = {300.0, 0.25, 1e5};                   // Tsec_in, msec, Psec_in
    double u3[3] = {0.0056, 440000.0, 1.2e6};           // mean flow, hR_in, P_in
};

inline const char* const kTypes[] = {TIPO_FLUJO_CRUZADO, TIPO_CONTRACORRIENTE};

}  // namespace condtest
