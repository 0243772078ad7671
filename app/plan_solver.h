// A 0-1 integer program, solved exactly with GLPK: a first objective proven at its best, and a
// second one made as good as it can among the solutions best in the first. The planner states its
// choice this way; this is the only code that speaks to GLPK, and it prints nothing (GLPK's
// terminal output is off).
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

// The two objectives, maximized: first, then second among the solutions best in the first.
// Their coefficients are whole numbers. second_most (may be null) says the most the second can be
// among the solutions whose first is first_value (info is passed on), and first_most the most the
// first can be as known beforehand (HUGE_VAL: nothing known): a solution that reaches either needs
// no search for a better one.
struct ZO_GOAL {
    const double* first;
    const double* second;
    double (*second_most)(double first_value, const void* info);
    const void* info;
    double first_most;
};

enum ZO_STATUS {
    ZO_OPTIMAL,  // the first objective is at its best, proven
    ZO_STOPPED,  // the time limit or stop() ended the search before that was proven
    ZO_FAILED,   // the solver could not run (out of memory, a fault of its own): x is the start
};

struct ZO_RESULT {
    short status;         // ZO_STATUS
    short second_proven;  // the second objective is proven at its best too
    double bound;         // no solution has a first objective above this (proven); a whole number
    long elapsed_ms;
};

// Solves p for goal: the first objective until it is proven at its best, then the second with the
// first held there. start is a solution that meets every row: the search never returns a worse
// one. x (ncols) gets the best solution found. time_ms bounds the solve; stop (may be null) is
// asked now and then and ends it when it returns non-zero. The search for the second objective
// may make second_nodes subproblems (0: any number): past them the best solution found stands (a
// bound on work, not time, so that the answer does not depend on the machine's speed). Returns
// r->status.
short zo_solve(const ZO_PROGRAM* p, const ZO_GOAL* goal, const unsigned char* start, long time_ms,
               int second_nodes, short (*stop)(), unsigned char* x, ZO_RESULT* r);

// Milliseconds on CLOCK_MONOTONIC, the clock of the time limits. Can't fail.
long zo_clock_ms();

#endif
