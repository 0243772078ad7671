// Error queue: numbered failures queued where they happen, printed by the command loop.
#include "shell/errhdl.h"

#include <cstdlib>

namespace {

struct ERRMSG_TYP {
    short code;
    const char* message;
};

// The built-in messages, in table order; the row with code 0 ends the table.
const ERRMSG_TYP errlist[] = {
    {1001, "System memory pool exhausted"},
    {1002, "System Device/Port error"},
    {1003, "System level permission error"},
    {3001, "Symbol table undeflow"},
    {4001, "Filename for execution is bad"},
    {4002, "Cannot 'RETURN' from keyboard stack"},
    {4003, "Bad or Unknown command"},
    {5001, "End of token-stream on command-line"},
    {5002, "Control-Loop command out of context"},
    {5003, "Invalid settings for specificed command"},
    {6001, "Input stack underflow"},
    {6002, "Input stack overflow"},
    {6003, "Cannot locate file"},
    {6004, "Max token buffer length is reached"},
    {6005, "Missing ']' on token"},
    {7001, "Ill-formatted number 1"},
    {7002, "Ill-formatted number 2"},
    {7003, "Ill-formatted number 3"},
    {7004, "Type-Declaration syntax invalid"},
    {7005, "Variable previously defined"},
    {7006, "Usage of braces in error"},
    {7007, "Character length is invalid"},
    {7008, "Array index is out-of-bounds"},
    {7009, "Bad token in expression"},
    {7010, "Bad cmd or expression"},
    {7011, "Invalid argument reference"},
    {7012, "Bad function declaration"},
    {7013, "Bad function name reference"},
    {7014, "Function not found"},
    {7015, "Bad arguments to function"},
    {7016, "Invalid deletion requested"},
    {7017, "Bad expression push"},
    {7018, "Bad expression pop"},
    {7019, "Bad expression arg 1"},
    {7020, "Bad expression arg 2"},
    {7021, "Bad expression arg 3"},
    {7022, "Bad arg to time routines"},
    {7023, "Expression stack overflow"},
    {0, nullptr},
};
static_assert(sizeof(errlist) / sizeof(errlist[0]) == 39, "38 messages and the end row");

enum { ERRS_SLOTS = 32, ERRS_MAX = 31, USRLIST_MAX = 50 };

short errs[ERRS_SLOTS];
short errs_len;

ERRMSG_TYP usrlist[USRLIST_MAX];
unsigned short usrlist_len;

}  // namespace

short set_errhdl(short code) {
    if (errs_len < ERRS_MAX) errs[errs_len++] = code;
    return code;
}

void clr_errhdl() {
    for (short i = 0; i < ERRS_SLOTS; i++) errs[i] = 0;
    errs_len = 0;
}

const char* errhdl_message(short code) {
    for (const ERRMSG_TYP* e = errlist; e->message; e++)
        if (e->code == code) return e->message;
    for (unsigned short i = 0; i < usrlist_len; i++)
        if (usrlist[i].code == code) return usrlist[i].message;
    return "Unknown error";
}

void l_errhdl(const char* title, unsigned short fatal, FILE* out) {
    fprintf(out, "\n");
    for (short i = 0; i < errs_len; i++) {
        // The code is printed as a signed 16-bit value: its four hexadecimal digits.
        fprintf(out, "%s (%04X): %s\n", title, (unsigned)(unsigned short)errs[i], errhdl_message(errs[i]));
        errs[i] = 0;
    }
    errs_len = 0;
    errs[0] = 0;
    if (fatal) {
        fflush(out);
        exit(1);
    }
}

void errhdl(const char* title, FILE* out) { l_errhdl(title, 0, out); }
void xerrhdl(const char* title, FILE* out) { l_errhdl(title, 1, out); }

void setusr_err(short code, const char* message) {
    if (usrlist_len >= USRLIST_MAX) return;
    for (unsigned short i = 0; i < usrlist_len; i++)
        if (usrlist[i].code == code) return;
    usrlist[usrlist_len].code = code;
    usrlist[usrlist_len].message = message;
    usrlist_len++;
}

short errhdl_count() { return errs_len; }

short errhdl_code(short slot) {
    if (slot < 0 || slot >= ERRS_SLOTS) return 0;
    return errs[slot];
}

void errhdl_reset_user() { usrlist_len = 0; }
