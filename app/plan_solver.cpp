// A 0-1 integer program solved with GLPK: two objectives in turn, a time limit, a stop request, a
// start, and a bound on the work spent on the second objective.
#include "app/plan_solver.h"

#include <glpk.h>

#include <cmath>
#include <cstdio>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <ctime>

long zo_clock_ms() {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (long)t.tv_sec * 1000 + t.tv_nsec / 1000000;
}

namespace {

double whole(double v) { return std::floor(v + 1e-6); }

// What the branch-and-cut callback needs and learns.
struct CONTEXT {
    const double* offer;  // a solution to offer as the first incumbent (1-based), or null
    short (*stop)();
    double bound;       // the least bound of the objective seen
    int nodes;          // subproblems the search may make (0: no bound)
    short out_of_work;  // nodes ended the search
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
    int node = glp_ios_best_node(tree);
    if (node) {
        double b = glp_ios_node_bound(tree, node);
        if (b < c->bound) c->bound = b;
    }
    int made = 0;
    glp_ios_tree_size(tree, nullptr, nullptr, &made);
    if (c->nodes && made > c->nodes) {
        c->out_of_work = 1;
        glp_ios_terminate(tree);
    }
}

// GLPK's terminal output, its error messages included, is never printed: standard output
// carries the script.
int swallow(void*, const char*) { return 1; }

// GLPK calls this on a fault of its own instead of ending the program; the solve then ends.
jmp_buf* fault_jump;
void on_fault(void*) { longjmp(*fault_jump, 1); }

int limit_of(long left) { return left < 1 ? 1 : left > 0x7FFFFFFF ? 0x7FFFFFFF : (int)left; }

// Maximizes objective over p's rows in lp from the solution x (0/1; values: the same 1-based for
// GLPK), x getting the best found. Returns 1 when the search finished (optimal), 0 when not;
// *bound (when not null) gets the least bound seen, a whole number.
short maximize(glp_prob* lp, int ncols, const double* objective, CONTEXT* context, short pump, long time_ms,
               long started, unsigned char* x, double* values, double* bound) {
    for (int j = 1; j <= ncols; j++) glp_set_obj_coef(lp, j, objective[j - 1]);
    glp_smcp lpparm;
    glp_init_smcp(&lpparm);
    lpparm.msg_lev = GLP_MSG_OFF;
    lpparm.tm_lim = limit_of(time_ms - (zo_clock_ms() - started));

    if (glp_simplex(lp, &lpparm) != 0 || glp_get_status(lp) != GLP_OPT) return 0;  // out of time
    context->bound = glp_get_obj_val(lp);
    for (int j = 1; j <= ncols; j++) values[j] = x[j - 1];
    context->offer = values;
    glp_iocp parm;
    glp_init_iocp(&parm);
    parm.msg_lev = GLP_MSG_OFF;
    parm.tm_lim = limit_of(time_ms - (zo_clock_ms() - started));
    parm.cb_func = callback;
    parm.cb_info = context;
    parm.clq_cuts = GLP_ON;
    // The feasibility pump finds full plans where branching is slow to; the most fractional
    // column is a cheap branch where each subproblem is large.
    parm.fp_heur = pump ? GLP_ON : GLP_OFF;
    parm.br_tech = GLP_BR_MFV;
    int ret = glp_intopt(lp, &parm);
    int status = glp_mip_status(lp);
    if (status == GLP_OPT || status == GLP_FEAS)
        for (int j = 1; j <= ncols; j++) x[j - 1] = glp_mip_col_val(lp, j) > 0.5;
    short done = ret == 0 && status == GLP_OPT;
    if (done) context->bound = glp_mip_obj_val(lp);
    if (bound) *bound = whole(context->bound);
    return done;
}

double value_of(const double* objective, const unsigned char* x, int ncols) {
    double v = 0;
    for (int j = 0; j < ncols; j++) v += objective[j] * x[j];
    return whole(v + 0.5);
}

// Every GLPK call, between setjmp and the end: the first objective, proven; then the second,
// with the first held at its best, for the subproblems allowed.
void run(const ZO_PROGRAM* p, const ZO_GOAL* goal, long time_ms, int second_nodes, short (*stop)(),
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

    CONTEXT first = {nullptr, stop, HUGE_VAL, 0, 0};
    double bound = goal->first_most;
    short proven = value_of(goal->first, x, p->ncols) >= goal->first_most;
    if (!proven) proven = maximize(lp, p->ncols, goal->first, &first, 1, time_ms, started, x, values, &bound);
    if (goal->first_most < bound) bound = goal->first_most;
    double best = value_of(goal->first, x, p->ncols);
    if (bound < r->bound) r->bound = bound;
    if (r->bound < best) r->bound = best;
    r->status = proven || r->bound <= best ? ZO_OPTIMAL : ZO_STOPPED;
    if (r->status == ZO_OPTIMAL && goal->second_most &&
        value_of(goal->second, x, p->ncols) >= goal->second_most(best, goal->info)) {
        r->bound = best;
        r->second_proven = 1;
    } else if (r->status == ZO_OPTIMAL) {
        r->bound = best;
        // The second, among the solutions as good in the first: its rows hold the first there.
        int row = glp_add_rows(lp, 1), n = 0;
        for (int j = 1; j <= p->ncols; j++)
            if (goal->first[j - 1] != 0) {
                n++;
                ja[n] = j;
                ar[n] = goal->first[j - 1];
            }
        glp_set_mat_row(lp, row, n, ja, ar);
        glp_set_row_bnds(lp, row, GLP_LO, best - 0.5, 0);
        CONTEXT second = {nullptr, stop, HUGE_VAL, second_nodes, 0};
        r->second_proven = maximize(lp, p->ncols, goal->second, &second, 0, time_ms, started, x, values, nullptr);
    }
    glp_delete_prob(lp);
}

}  // namespace

short zo_solve(const ZO_PROGRAM* p, const ZO_GOAL* goal, const unsigned char* start, long time_ms,
               int second_nodes, short (*stop)(), unsigned char* x, ZO_RESULT* r) {
    long started = zo_clock_ms();
    memset(r, 0, sizeof *r);
    r->status = ZO_FAILED;
    if (p->ncols > 0) memcpy(x, start, (size_t)p->ncols);
    // Until the solver says more: every column with a gain at 1.
    double most = 0;
    for (int j = 0; j < p->ncols; j++)
        if (goal->first[j] > 0) most += goal->first[j];
    r->bound = whole(most + 0.5);
    if (p->ncols == 0) {  // nothing to choose: the empty solution is the best
        r->status = ZO_OPTIMAL;
        r->second_proven = 1;
        r->bound = 0;
        return r->status;
    }
    // Room for the matrix (1-based, ia/ja/ar of GLPK; a row of every column) and a solution.
    size_t terms = (size_t)(p->nrows > 0 ? p->first[p->nrows] : 0), cols = (size_t)p->ncols + 1;
    terms = (terms > cols ? terms : cols) + 1;
    int* ia = (int*)malloc(terms * sizeof(int));
    int* ja = (int*)malloc(terms * sizeof(int));
    double* ar = (double*)malloc(terms * sizeof(double));
    double* values = (double*)malloc(cols * sizeof(double));
    if (ia && ja && ar && values) {
        jmp_buf jump;
        fault_jump = &jump;
        glp_term_out(GLP_OFF);
        glp_term_hook(swallow, nullptr);
        glp_error_hook(on_fault, nullptr);
        if (setjmp(jump) == 0) {
            run(p, goal, time_ms, second_nodes, stop, x, values, ia, ja, ar, r, started);
        } else {
            r->status = ZO_FAILED;  // what GLPK held is freed below
            r->second_proven = 0;
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
    r->elapsed_ms = zo_clock_ms() - started;
    return r->status;
}
