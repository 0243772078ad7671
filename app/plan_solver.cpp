// A 0-1 integer program solved with GLPK: objectives in turn, time limit, stop request, start.
#include "app/plan_solver.h"

#include <glpk.h>

#include <cmath>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

long now_ms() {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (long)t.tv_sec * 1000 + t.tv_nsec / 1000000;
}

// What the branch-and-cut callback needs.
struct CONTEXT {
    const double* offer;  // a solution to offer as the first incumbent (1-based), or null
    short (*stop)();
    short track_bound;  // note the best node's bound (the first objective)
    double bound;       // the least bound seen
};

void callback(glp_tree* tree, void* info) {
    CONTEXT* c = (CONTEXT*)info;
    if (c->stop && c->stop()) {
        glp_ios_terminate(tree);
        return;
    }
    if (glp_ios_reason(tree) == GLP_IHEUR && c->offer) {
        glp_ios_heur_sol(tree, c->offer);
        c->offer = nullptr;
    }
    if (c->track_bound) {
        int node = glp_ios_best_node(tree);
        if (node) {
            double b = glp_ios_node_bound(tree, node);
            if (b < c->bound) c->bound = b;
        }
    }
}

// GLPK's terminal output, its error messages included, is never printed: standard output
// carries the script.
int swallow(void*, const char*) { return 1; }

// GLPK calls this on a fault of its own instead of ending the program; the solve then ends.
jmp_buf* fault_jump;
void on_fault(void*) { longjmp(*fault_jump, 1); }

double whole(double v) { return std::floor(v + 1e-6); }

// The work between setjmp and the end: every GLPK call. x holds the best solution so far
// (0/1), values the same 1-based for GLPK.
void run(const ZO_PROGRAM* p, const double* const* objective, short nstages, long time_ms, short (*stop)(),
         unsigned char* x, double* values, int* ia, int* ja, double* ar, ZO_RESULT* r, long started) {
    glp_prob* lp = glp_create_prob();
    glp_set_obj_dir(lp, GLP_MAX);
    glp_add_cols(lp, p->ncols);
    for (int j = 1; j <= p->ncols; j++) glp_set_col_kind(lp, j, GLP_BV);
    if (p->nrows > 0) glp_add_rows(lp, p->nrows);
    int ne = 0;
    for (int i = 0; i < p->nrows; i++) {
        int type = p->sense[i] == ZO_LE ? GLP_UP : p->sense[i] == ZO_GE ? GLP_LO : GLP_FX;
        glp_set_row_bnds(lp, i + 1, type, p->rhs[i], p->rhs[i]);
        for (int t = p->first[i]; t < p->first[i + 1]; t++) {
            ne++;
            ia[ne] = i + 1;
            ja[ne] = p->col[t] + 1;
            ar[ne] = p->coef[t];
        }
    }
    glp_load_matrix(lp, ne, ia, ja, ar);

    r->status = ZO_OPTIMAL;
    for (short s = 0; s < nstages; s++) {
        for (int j = 1; j <= p->ncols; j++) glp_set_obj_coef(lp, j, objective[s][j - 1]);
        long left = time_ms - (now_ms() - started);
        if (left < 1 || (stop && stop())) {
            r->status = ZO_STOPPED;
            break;
        }
        glp_smcp lpparm;
        glp_init_smcp(&lpparm);
        lpparm.msg_lev = GLP_MSG_OFF;
        lpparm.tm_lim = left > 0x7FFFFFFF ? 0x7FFFFFFF : (int)left;
        if (glp_simplex(lp, &lpparm) != 0 || glp_get_status(lp) != GLP_OPT) {
            r->status = ZO_STOPPED;  // out of time: a relaxation of a feasible program is feasible
            break;
        }
        if (s == 0) r->bound = whole(glp_get_obj_val(lp));
        for (int j = 1; j <= p->ncols; j++) values[j] = x[j - 1];
        CONTEXT context = {values, stop, (short)(s == 0), HUGE_VAL};
        glp_iocp parm;
        glp_init_iocp(&parm);
        parm.msg_lev = GLP_MSG_OFF;
        left = time_ms - (now_ms() - started);
        parm.tm_lim = left < 1 ? 1 : left > 0x7FFFFFFF ? 0x7FFFFFFF : (int)left;
        parm.cb_func = callback;
        parm.cb_info = &context;
        parm.clq_cuts = GLP_ON;
        int ret = glp_intopt(lp, &parm);
        int status = glp_mip_status(lp);
        if (status == GLP_OPT || status == GLP_FEAS)
            for (int j = 1; j <= p->ncols; j++) x[j - 1] = glp_mip_col_val(lp, j) > 0.5;
        if (ret != 0 || status != GLP_OPT) {
            if (s == 0 && context.bound < HUGE_VAL && whole(context.bound) < r->bound)
                r->bound = whole(context.bound);
            r->status = ZO_STOPPED;
            break;
        }
        double best = whole(glp_mip_obj_val(lp) + 0.5);
        if (s == 0) r->bound = best;
        r->stages_done = (short)(s + 1);
        if (s + 1 == nstages) break;
        // Later objectives keep this one at its optimum.
        int row = glp_add_rows(lp, 1), n = 0;
        for (int j = 1; j <= p->ncols; j++)
            if (objective[s][j - 1] != 0) {
                n++;
                ja[n] = j;
                ar[n] = objective[s][j - 1];
            }
        glp_set_mat_row(lp, row, n, ja, ar);
        glp_set_row_bnds(lp, row, GLP_LO, best - 0.5, 0);
    }
    glp_delete_prob(lp);
}

}  // namespace

short zo_solve(const ZO_PROGRAM* p, const double* const* objective, short nstages, const unsigned char* start,
               long time_ms, short (*stop)(), unsigned char* x, ZO_RESULT* r) {
    long started = now_ms();
    memset(r, 0, sizeof *r);
    r->status = ZO_FAILED;
    if (nstages > ZO_MAX_STAGES) nstages = ZO_MAX_STAGES;
    if (p->ncols > 0) memcpy(x, start, (size_t)p->ncols);
    // Until the solver says more: every column with a gain at 1.
    double most = 0;
    for (int j = 0; j < p->ncols && nstages > 0; j++)
        if (objective[0][j] > 0) most += objective[0][j];
    r->bound = whole(most + 0.5);

    if (p->ncols == 0) {  // nothing to choose: the empty solution is the best
        r->status = ZO_OPTIMAL;
        r->stages_done = nstages;
        r->bound = 0;
        return r->status;
    }
    // Room for the matrix (1-based, ia/ja/ar of GLPK) and for a row of every column.
    size_t terms = (size_t)(p->nrows > 0 ? p->first[p->nrows] : 0);
    size_t room = (terms > (size_t)p->ncols ? terms : (size_t)p->ncols) + 1;
    int* ia = (int*)malloc(room * sizeof(int));
    int* ja = (int*)malloc(room * sizeof(int));
    double* ar = (double*)malloc(room * sizeof(double));
    double* values = (double*)malloc(((size_t)p->ncols + 1) * sizeof(double));
    if (ia && ja && ar && values && nstages > 0) {
        jmp_buf jump;
        fault_jump = &jump;
        glp_term_out(GLP_OFF);
        glp_term_hook(swallow, nullptr);
        glp_error_hook(on_fault, nullptr);
        if (setjmp(jump) == 0) {
            run(p, objective, nstages, time_ms, stop, x, values, ia, ja, ar, r, started);
        } else {
            r->status = ZO_FAILED;  // what GLPK held is freed below
            r->stages_done = 0;
            r->bound = whole(most + 0.5);
            memcpy(x, start, (size_t)p->ncols);
        }
        glp_free_env();
        fault_jump = nullptr;
    }
    free(ia);
    free(ja);
    free(ar);
    free(values);
    r->elapsed_ms = now_ms() - started;
    return r->status;
}
