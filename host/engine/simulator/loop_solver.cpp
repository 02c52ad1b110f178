#include "loop_solver.h"

#include "errors.h"

#include <kinsol/kinsol.h>
#include <kinsol/kinsol_ls.h>
#include <sunlinsol/sunlinsol_dense.h>
#include <sunmatrix/sunmatrix_dense.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace cyclesim {

LoopSolver::LoopSolver(SundialsContext& context, int n, double tolerance, int max_iterations, double fd_step)
    : context_(context), n_(n), fd_step_(fd_step), typical_(static_cast<std::size_t>(n), 1.0)
{
    SUNContext ctx = context.get();
    kinsol_ = KINCreate(ctx);
    u_ = N_VNew_Serial(n, ctx);
    uscale_ = N_VNew_Serial(n, ctx);
    fscale_ = N_VNew_Serial(n, ctx);
    J_ = SUNDenseMatrix(n, n, ctx);
    if (!kinsol_ || !u_ || !uscale_ || !fscale_ || !J_) throw SimulationError("cannot allocate the loop solver");
    LS_ = SUNLinSol_Dense(u_, J_, ctx);
    if (!LS_) throw SimulationError("cannot allocate the loop solver's linear solver");
    check_sundials(KINInit(kinsol_, &LoopSolver::system, u_), "KINInit");
    check_sundials(KINSetUserData(kinsol_, this), "KINSetUserData");
    context_.capture_kinsol_errors(kinsol_, &message_);
    check_sundials(KINSetLinearSolver(kinsol_, LS_, J_), "KINSetLinearSolver");
    check_sundials(KINSetJacFn(kinsol_, &LoopSolver::jacobian), "KINSetJacFn");
    check_sundials(KINSetFuncNormTol(kinsol_, tolerance), "KINSetFuncNormTol");
    check_sundials(KINSetScaledStepTol(kinsol_, tolerance * 1e-3), "KINSetScaledStepTol");
    check_sundials(KINSetNumMaxIters(kinsol_, max_iterations), "KINSetNumMaxIters");
    // Modified Newton: a Jacobian is kept for a few iterations (and, on
    // request, from one solve to the next); KINSOL forms a new one when the
    // line search fails with the old.
    check_sundials(KINSetMaxSetupCalls(kinsol_, 5), "KINSetMaxSetupCalls");
    check_sundials(KINSetPrintLevel(kinsol_, 0), "KINSetPrintLevel");
}

LoopSolver::~LoopSolver()
{
    context_.release(&message_);
    if (kinsol_) KINFree(&kinsol_);
    if (LS_) SUNLinSolFree(LS_);
    if (J_) SUNMatDestroy(J_);
    for (N_Vector v : {u_, uscale_, fscale_})
        if (v) N_VDestroy(v);
}

int LoopSolver::solve(std::vector<double>& x, const std::vector<double>& typical, Residual residual,
                      bool reuse_jacobian)
{
    const bool reuse = reuse_jacobian && have_jacobian_;
    check_sundials(KINSetNoInitSetup(kinsol_, reuse ? SUNTRUE : SUNFALSE), "KINSetNoInitSetup");
    residual_ = std::move(residual);
    typical_ = typical;
    iterations_ = evaluations_ = 0;
    message_.clear();
    context_.capture_kinsol_errors(kinsol_, &message_);
    double* u = N_VGetArrayPointer(u_);
    double* us = N_VGetArrayPointer(uscale_);
    double* fs = N_VGetArrayPointer(fscale_);
    for (int i = 0; i < n_; ++i) {
        u[i] = x[i];
        us[i] = fs[i] = 1.0 / typical_[i];  // the residual has the unknowns' units
    }
    int flag = KINSol(kinsol_, u_, KIN_LINESEARCH, uscale_, fscale_);
    long nni = 0;
    KINGetNumNonlinSolvIters(kinsol_, &nni);
    iterations_ = nni;
    for (int i = 0; i < n_; ++i) x[i] = u[i];
    residual_ = nullptr;
    long jacobians = 0;
    KINGetNumJacEvals(kinsol_, &jacobians);
    have_jacobian_ = flag >= 0 && (reuse || jacobians > 0);
    return flag;
}

int LoopSolver::system(N_Vector u, N_Vector f, void* user)
{
    auto* self = static_cast<LoopSolver*>(user);
    ++self->evaluations_;
    return self->residual_(N_VGetArrayPointer(u), N_VGetArrayPointer(f));
}

// Forward differences, column by column, with a step relative to the larger
// of the unknown and its typical magnitude; a column whose forward point
// cannot be evaluated is tried backwards.
int LoopSolver::jacobian(N_Vector u, N_Vector fu, SUNMatrix J, void* user, N_Vector tmp1, N_Vector tmp2)
{
    auto* self = static_cast<LoopSolver*>(user);
    const int n = self->n_;
    double* x = N_VGetArrayPointer(tmp1);
    double* f1 = N_VGetArrayPointer(tmp2);
    const double* x0 = N_VGetArrayPointer(u);
    const double* f0 = N_VGetArrayPointer(fu);
    std::copy(x0, x0 + n, x);
    for (int j = 0; j < n; ++j) {
        double h = self->fd_step_ * std::max(std::fabs(x0[j]), self->typical_[j]);
        int status = 1;
        for (double sign : {1.0, -1.0}) {
            x[j] = x0[j] + sign * h;
            ++self->evaluations_;
            status = self->residual_(x, f1);
            if (status < 0) return status;
            if (status == 0) {
                double step = x[j] - x0[j];
                double* col = SUNDenseMatrix_Column(J, j);
                for (int i = 0; i < n; ++i) col[i] = (f1[i] - f0[i]) / step;
                break;
            }
        }
        x[j] = x0[j];
        if (status != 0) return 1;
    }
    return 0;
}

std::string LoopSolver::flag_name(int flag)
{
    // The library's own table stops short of the newer codes.
    switch (flag) {
    case KIN_SYSFUNC_FAIL: return "KIN_SYSFUNC_FAIL";
    case KIN_FIRST_SYSFUNC_ERR: return "KIN_FIRST_SYSFUNC_ERR";
    case KIN_REPTD_SYSFUNC_ERR: return "KIN_REPTD_SYSFUNC_ERR";
    case KIN_VECTOROP_ERR: return "KIN_VECTOROP_ERR";
    default: break;
    }
    char* name = KINGetReturnFlagName(flag);
    std::string out = name ? name : "";
    std::free(name);
    if (out.empty() || out == "NONE") out = "KINSOL flag " + std::to_string(flag);
    return out;
}

}  // namespace cyclesim
