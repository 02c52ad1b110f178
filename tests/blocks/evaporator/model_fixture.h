// Shared set-up of the evaporator model tests: the model's PropsSI global
// bound to a property library loaded by path, with its query counter where it
// has one, and a parameter record with values owned by the test.
#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

extern "C" {
#include "Evap.h"
#include "modelo_evaporador.h"
}

namespace evaptest {

class BoundLibrary {
public:
    explicit BoundLibrary(const std::filesystem::path& file)
    {
        handle_ = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle_ == nullptr) return;
        entry_ = reinterpret_cast<CPType>(dlsym(handle_, "PropsSI"));
        count_ = reinterpret_cast<long (*)()>(dlsym(handle_, "analytic_props_query_count"));
        previous_ = PropsSI;
        PropsSI = entry_;
    }
    ~BoundLibrary()
    {
        if (handle_ == nullptr) return;
        PropsSI = previous_;
        dlclose(handle_);
    }
    BoundLibrary(const BoundLibrary&) = delete;
    BoundLibrary& operator=(const BoundLibrary&) = delete;

    bool ok() const { return entry_ != nullptr; }
    long queries() const { return count_ ? count_() : -1; }

private:
    void* handle_ = nullptr;
    CPType entry_ = nullptr;
    CPType previous_ = nullptr;
    long (*count_)() = nullptr;
};

// Dialog values of one evaporator, bound into a ParamEvap record the way the
// block binds the host's values.
struct Dialog {
    double N_placas = 10, F1 = 0.01, C = 0.3, D = 0.07, F = 0.002, G = 0.05;
    double peso_int = 0.5, peso_placa = 0.05, d_mat = 8000.0;
    double alfa_tp = 800.0, alfa_sh = 150.0;
    std::string tipo = TIPO_PLACAS_CONTRACORRIENTE;

    ParamEvap record()
    {
        ParamEvap p{};
        p.N_placas = &N_placas;
        p.F1 = &F1;
        p.C = &C;
        p.D = &D;
        p.F = &F;
        p.G = &G;
        p.peso_int = &peso_int;
        p.peso_placa = &peso_placa;
        p.d_mat = &d_mat;
        p.alfa_tp = &alfa_tp;
        p.alfa_sh = &alfa_sh;
        tipo.copy(p.tipo_int, sizeof p.tipo_int - 1);
        return p;
    }
};

}  // namespace evaptest
