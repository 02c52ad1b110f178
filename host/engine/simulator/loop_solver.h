// Newton solution of one algebraic loop with KINSOL.
//
// Unknowns are the tear variables x; the residual is F(x) = y(x) - x, where
// y(x) are the outputs the tear variables stand for after evaluating the
// loop's blocks with x on the torn inputs. KINSOL runs Newton's method with a
// line search on the scaled system: each unknown and each residual is divided
// by a typical magnitude, so that pressures near 1e6 Pa and flows near 1e-2
// kg/s weigh alike. The Jacobian is formed here by forward differences with a
// relative step of about 3e-4: the blocks inside a loop run iterative solvers
// of their own that converge to roughly 1e-6, and a step near sqrt(machine
// epsilon) would difference their convergence noise instead of the function.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <nvector/nvector_serial.h>
#include <sundials/sundials_linearsolver.h>
#include <sundials/sundials_matrix.h>

#include "sundials_context.h"

namespace cyclesim {

class LoopSolver {
public:
    // Residual: fills f from x; returns 0, > 0 for a value that cannot be
    // evaluated (non-finite: Newton backs off), < 0 for a fatal error.
    using Residual = std::function<int(const double* x, double* f)>;

    LoopSolver(SundialsContext& context, int n, double tolerance, int max_iterations, double fd_step);
    ~LoopSolver();
    LoopSolver(const LoopSolver&) = delete;
    LoopSolver& operator=(const LoopSolver&) = delete;

    // Solves from the guess in x (overwritten with the last iterate); `typical`
    // holds the magnitude of each unknown. With `reuse_jacobian`, the Jacobian
    // of the previous solve (if any) starts the iteration: warm solves along a
    // trajectory then cost a residual or two instead of n + 2. Returns the
    // KINSOL flag.
    int solve(std::vector<double>& x, const std::vector<double>& typical, Residual residual,
              bool reuse_jacobian = false);

    long iterations() const { return iterations_; }       // Newton iterations of the last solve
    long evaluations() const { return evaluations_; }     // residual evaluations of the last solve
    const std::string& last_message() const { return message_; }
    static std::string flag_name(int flag);

private:
    static int system(N_Vector u, N_Vector f, void* user);
    static int jacobian(N_Vector u, N_Vector fu, SUNMatrix J, void* user, N_Vector tmp1, N_Vector tmp2);

    SundialsContext& context_;
    int n_;
    double fd_step_;
    void* kinsol_ = nullptr;
    N_Vector u_ = nullptr, uscale_ = nullptr, fscale_ = nullptr;
    SUNMatrix J_ = nullptr;
    SUNLinearSolver LS_ = nullptr;
    Residual residual_;
    std::vector<double> typical_;
    long iterations_ = 0, evaluations_ = 0;
    bool have_jacobian_ = false;
    std::string message_;
};

}  // namespace cyclesim
