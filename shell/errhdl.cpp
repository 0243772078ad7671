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
#define ERRCODE_ROW(name, code, message) {name, message},
    ERRCODE_LIST(ERRCODE_ROW)
#undef ERRCODE_ROW
        {0, nullptr},
};
static_assert(sizeof(errlist) / sizeof(errlist[0]) == 39, "38 messages and the end row");

enum { USRLIST_MAX = 50 };

short errs[ERRHDL_SLOTS];
short errs_len;

ERRMSG_TYP usrlist[USRLIST_MAX];
unsigned short usrlist_len;

}  // namespace

short set_errhdl(short code) {
    if (errs_len < ERRHDL_KEPT) errs[errs_len++] = code;
    return code;
}

void clr_errhdl() {
    for (short i = 0; i < ERRHDL_SLOTS; i++) errs[i] = 0;
    errs_len = 0;
}

const char* errhdl_message(short code) {
    for (const ERRMSG_TYP* e = errlist; e->message; e++)
        if (e->code == code) return e->message;
    for (unsigned short i = 0; i < usrlist_len; i++)
        if (usrlist[i].code == code) return usrlist[i].message;
    return "Unknown error";
}

void errhdl(const char* title, FILE* out) {
    fprintf(out, "\n");
    for (short i = 0; i < errs_len; i++) {
        // The code is printed as a signed 16-bit value: its four hexadecimal digits.
        fprintf(out, "%s (%04X): %s\n", title, (unsigned)(unsigned short)errs[i], errhdl_message(errs[i]));
        errs[i] = 0;
    }
    errs_len = 0;
    errs[0] = 0;
}

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
    if (slot < 0 || slot >= ERRHDL_SLOTS) return 0;
    return errs[slot];
}

void errhdl_reset_user() { usrlist_len = 0; }
