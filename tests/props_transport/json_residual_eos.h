// A small, independent evaluator of the residual Helmholtz energy, read at test time from a fluid
// definition file, so that the correlations that need the equation of state (residual entropy, dp/drho)
// can be checked against the reference data without the library's own EOS core. Derivatives come from
// forward-mode second-order dual numbers, so no finite differences are involved.
#pragma once

#include <nlohmann/json.hpp>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <vector>

#include "viscosity.h"

namespace transport_test {

// Value with first and second derivative with respect to one variable.
struct Dual2 {
    double v = 0.0, d = 0.0, dd = 0.0;
};
inline Dual2 operator+(Dual2 a, Dual2 b) { return {a.v + b.v, a.d + b.d, a.dd + b.dd}; }
inline Dual2 operator-(Dual2 a, Dual2 b) { return {a.v - b.v, a.d - b.d, a.dd - b.dd}; }
inline Dual2 operator*(Dual2 a, Dual2 b) { return {a.v * b.v, a.d * b.v + a.v * b.d, a.dd * b.v + 2 * a.d * b.d + a.v * b.dd}; }
inline Dual2 operator*(double s, Dual2 a) { return {s * a.v, s * a.d, s * a.dd}; }
inline Dual2 operator+(double s, Dual2 a) { return {s + a.v, a.d, a.dd}; }
inline Dual2 operator-(double s, Dual2 a) { return {s - a.v, -a.d, -a.dd}; }
inline Dual2 exp(Dual2 a) {
    const double e = std::exp(a.v);
    return {e, e * a.d, e * (a.dd + a.d * a.d)};
}
inline Dual2 pow(Dual2 a, double n) {
    if (n == 0.0) return {1.0, 0.0, 0.0};
    const double p2 = std::pow(a.v, n - 2.0);
    const double p1 = p2 * a.v;
    return {p1 * a.v, n * p1 * a.d, n * (n - 1.0) * p2 * a.d * a.d + n * p1 * a.dd};
}
inline double pow(double a, double n) { return std::pow(a, n); }
inline double exp(double a) { return std::exp(a); }

class JsonResidualEos : public fluidprops::ViscosityEosAccess {
public:
    explicit JsonResidualEos(const std::filesystem::path& file) {
        std::ifstream in(file);
        if (!in) throw std::runtime_error("cannot open " + file.string());
        const nlohmann::json j = nlohmann::json::parse(in);
        const auto& eos = j.at("EOS").at(0);
        R_ = eos.at("gas_constant").get<double>();
        M_ = eos.at("molar_mass").get<double>();
        Tr_ = eos.at("STATES").at("reducing").at("T").get<double>();
        rhor_ = eos.at("STATES").at("reducing").at("rhomolar").get<double>();
        const auto& anchor = eos.at("STATES").at("hs_anchor");
        anchor_T_ = anchor.at("T").get<double>();
        anchor_rho_ = anchor.at("rhomolar").get<double>();
        anchor_p_ = anchor.at("p").get<double>();
        for (const auto& term : eos.at("alphar")) {
            const std::string type = term.at("type").get<std::string>();
            const auto get = [&](const char* k) { return term.at(k).get<std::vector<double>>(); };
            if (type == "ResidualHelmholtzPower") {
                const auto n = get("n"), d = get("d"), t = get("t"), l = get("l");
                for (std::size_t i = 0; i < n.size(); ++i) power_.push_back({n[i], d[i], t[i], l[i]});
            } else if (type == "ResidualHelmholtzGaussian") {
                const auto n = get("n"), d = get("d"), t = get("t"), eta = get("eta"), eps = get("epsilon"),
                           beta = get("beta"), gam = get("gamma");
                for (std::size_t i = 0; i < n.size(); ++i)
                    gauss_.push_back({n[i], d[i], t[i], eta[i], eps[i], beta[i], gam[i]});
            } else if (type == "ResidualHelmholtzNonAnalytic") {
                const auto n = get("n"), a = get("a"), b = get("b"), beta = get("beta"), A = get("A"), B = get("B"),
                           C = get("C"), D = get("D");
                for (std::size_t i = 0; i < n.size(); ++i)
                    nonan_.push_back({n[i], a[i], b[i], beta[i], A[i], B[i], C[i], D[i]});
            } else {
                throw std::runtime_error("test evaluator: unsupported residual term " + type);
            }
        }
    }

    double molar_mass() const { return M_; }
    double gas_constant() const { return R_; }
    double anchor_T() const { return anchor_T_; }
    double anchor_rho() const { return anchor_rho_; }
    double anchor_p() const { return anchor_p_; }

    double pressure(double T, double rho) const {
        const double delta = rho / rhor_;
        const Dual2 ar = alphar(Dual2{delta, 1.0, 0.0}, Dual2{Tr_ / T, 0.0, 0.0});
        return rho * R_ * T * (1.0 + delta * ar.d);
    }
    double residual_molar_entropy(double T, double rho) const override {
        const double tau = Tr_ / T;
        const Dual2 ar = alphar(Dual2{rho / rhor_, 0.0, 0.0}, Dual2{tau, 1.0, 0.0});
        return R_ * (tau * ar.d - ar.v);
    }
    double dpdrho_T(double T, double rho) const override {
        const double delta = rho / rhor_;
        const Dual2 ar = alphar(Dual2{delta, 1.0, 0.0}, Dual2{Tr_ / T, 0.0, 0.0});
        return R_ * T * (1.0 + 2.0 * delta * ar.d + delta * delta * ar.dd);
    }

private:
    struct Power { double n, d, t, l; };
    struct Gauss { double n, d, t, eta, eps, beta, gam; };
    struct NonAnalytic { double n, a, b, beta, A, B, C, D; };

    Dual2 alphar(Dual2 delta, Dual2 tau) const {
        Dual2 sum;
        for (const Power& p : power_) {
            Dual2 term = p.n * (pow(delta, p.d) * pow(tau, p.t));
            if (p.l > 0) term = term * exp(-1.0 * pow(delta, p.l));
            sum = sum + term;
        }
        for (const Gauss& g : gauss_) {
            const Dual2 dd = delta - Dual2{g.eps, 0, 0}, dt = tau - Dual2{g.gam, 0, 0};
            sum = sum + g.n * (pow(delta, g.d) * pow(tau, g.t) * exp(-g.eta * (dd * dd) - g.beta * (dt * dt)));
        }
        constexpr double tiny = 10 * 2.220446049250313e-16;
        for (const NonAnalytic& t : nonan_) {
            Dual2 del = delta, ta = tau;
            if (std::fabs(del.v - 1.0) < tiny) del.v = 1.0 + tiny;
            if (std::fabs(ta.v - 1.0) < tiny) ta.v = 1.0 + tiny;
            const Dual2 dm1 = del - Dual2{1.0, 0, 0};
            const Dual2 q = dm1 * dm1;
            const Dual2 theta = (1.0 - ta) + t.A * pow(q, 1.0 / (2.0 * t.beta));
            const Dual2 Delta = theta * theta + t.B * pow(q, t.a);
            const Dual2 tm1 = ta - Dual2{1.0, 0, 0};
            const Dual2 psi = exp(-t.C * q - t.D * (tm1 * tm1));
            sum = sum + t.n * (pow(Delta, t.b) * del * psi);
        }
        return sum;
    }

    double R_ = 0, M_ = 0, Tr_ = 0, rhor_ = 0;
    double anchor_T_ = 0, anchor_rho_ = 0, anchor_p_ = 0;
    std::vector<Power> power_;
    std::vector<Gauss> gauss_;
    std::vector<NonAnalytic> nonan_;
};

}  // namespace transport_test
