// Evaporator model tests: the model's PropsSI global bound to a property
// library loaded by path, and a parameter record over values the test owns.
#pragma once

#include <dlfcn.h>

#include <filesystem>
#include <string>

extern "C" {
#include "Evap.h"
#include "modelo_evaporador.h"
}

namespace evaptest {

class BoundLibrary {
public:
    explicit BoundLibrary(const std::filesystem::path& file) : handle_(dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL))
    {
        if (handle_) PropsSI = reinterpret_cast<CPType>(dlsym(handle_, "PropsSI"));
    }
    ~BoundLibrary()
    {
        PropsSI = nullptr;
        if (handle_) dlclose(handle_);
    }
    BoundLibrary(const BoundLibrary&) = delete;
    BoundLibrary& operator=(const BoundLibrary&) = delete;
    bool ok() const { return PropsSI != nullptr; }

private:
    void* handle_;
};

struct Dialog {
    double N_placas = 10, F1 = 0.01, C = 0.3, D = 0.07, F = 0.002, G = 0.05;
    double peso_int = 0.5, peso_placa = 0.05, d_mat = 8000.0, alfa_tp = 800.0, alfa_sh = 150.0;
    std::string tipo = TIPO_PLACAS_CONTRACORRIENTE;

    ParamEvap record()
    {
        ParamEvap p{&N_placas, &F1, &C, &D, &F, &G, &peso_int, &peso_placa, &d_mat, &alfa_tp, &alfa_sh, {}};
        tipo.copy(p.tipo_int, sizeof p.tipo_int - 1);
        return p;
    }
};

}  // namespace evaptest
