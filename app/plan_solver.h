// A 0-1 integer program, solved exactly with GLPK: one objective after another, each maximized
// with the ones before it held at their optimum. The planner states its choice this way; this is
// the only code that speaks to GLPK, and it prints nothing (GLPK's terminal output is off).
#ifndef VELKOR_APP_PLAN_SOLVER_H
#define VELKOR_APP_PLAN_SOLVER_H

enum ZO_SENSE { ZO_LE, ZO_EQ, ZO_GE };

// The program: ncols columns, each 0 or 1; nrows rows, row r being
//   sum of coef[t] * x[col[t]] for t in first[r] .. first[r + 1] - 1   (sense[r])   rhs[r].
// Every coefficient and right-hand side is a whole number.
struct ZO_PROGRAM {
    int ncols;
    int nrows;
    const int* first;  // nrows + 1 entries
    const int* col;    // columns from 0
    const double* coef;
    const short* sense;  // ZO_SENSE
    const double* rhs;
};

enum { ZO_MAX_STAGES = 4 };

enum ZO_STATUS {
    ZO_OPTIMAL,  // every objective was solved to its optimum
    ZO_STOPPED,  // the time limit or stop() ended the search first
    ZO_FAILED,   // the solver could not run (out of memory, a fault of its own): x is the start
};

struct ZO_RESULT {
    short status;       // ZO_STATUS
    short stages_done;  // the objectives solved to their optimum, in order
    double bound;       // no solution has a first objective above this (proven); a whole number
    long elapsed_ms;
};

// Solves p. objective[s] (ncols whole numbers each) are maximized in turn, s = 0 .. nstages - 1
// (at most ZO_MAX_STAGES); the search of each begins from the best solution so far. start is a
// solution that meets every row: the search never returns a worse one. x (ncols) gets the best
// solution found. time_ms bounds the whole solve; stop (may be null) is asked now and then and
// ends it when it returns non-zero. Returns r->status.
short zo_solve(const ZO_PROGRAM* p, const double* const* objective, short nstages, const unsigned char* start,
               long time_ms, short (*stop)(), unsigned char* x, ZO_RESULT* r);

#endif
