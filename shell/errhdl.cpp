// Error queue: numbered failures queued where they happen, printed by the command loop.
#include "shell/errhdl.h"

#include <cstdarg>
#include <cstdlib>
#include <cstring>

short (*errhdl_where_hook)(const char** name, long* line);

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

// Beside each slot: "FILE:LINE" of the line that queued it ("" for none), its detail, and
// whether standard error has had it already.
char errs_where[ERRHDL_SLOTS][ERRHDL_WHERE_SIZE];
char errs_detail[ERRHDL_SLOTS][ERRHDL_DETAIL_SIZE];
short errs_said[ERRHDL_SLOTS];
short last_kept = -1;  // slot of the code queued last, or -1 when it was dropped

// A place or detail goes to a terminal: control bytes in it (a file name may hold any) are
// shown as '?'.
void printable_only(char* s) {
    for (; *s; s++)
        if ((unsigned char)*s < 0x20 || *s == 0x7F) *s = '?';
}

void clear_slot(short i) {
    errs[i] = 0;
    errs_where[i][0] = 0;
    errs_detail[i][0] = 0;
    errs_said[i] = 0;
}

ERRMSG_TYP usrlist[USRLIST_MAX];
unsigned short usrlist_len;


// "FILE:LINE" of the current line into where (ERRHDL_WHERE_SIZE bytes), "" when it has none.
void place_of_line(char* where) {
    const char* name = nullptr;
    long line = 0;
    where[0] = 0;
    if (errhdl_where_hook && errhdl_where_hook(&name, &line) && name)
        snprintf(where, ERRHDL_WHERE_SIZE, "%s:%ld", name, line);
    printable_only(where);
}
}  // namespace

short set_errhdl(short code) {
    last_kept = -1;
    if (errs_len < ERRHDL_KEPT) {
        short i = errs_len++;
        clear_slot(i);
        errs[i] = code;
        place_of_line(errs_where[i]);
        last_kept = i;
    }
    return code;
}

void set_errdetail(const char* fmt, ...) {
    if (last_kept < 0 || last_kept >= errs_len) return;
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(errs_detail[last_kept], ERRHDL_DETAIL_SIZE, fmt, ap);
    va_end(ap);
    printable_only(errs_detail[last_kept]);
}

void say_placed(FILE* err, const char* fmt, ...) {
    char where[ERRHDL_WHERE_SIZE], text[2048];  // room for a whole line of 1023 characters and more
    place_of_line(where);
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(text, sizeof text, fmt, ap);
    va_end(ap);
    printable_only(text);
    fprintf(err, "velkor: %s%s%s\n", where, where[0] ? ": " : "", text);
}

void set_errsaid() {
    if (last_kept >= 0 && last_kept < errs_len) errs_said[last_kept] = 1;
}

short errhdl_located(FILE* err, short located_only) {
    short printed = 0;
    for (short i = 0; i < errs_len; i++) {
        if (errs_said[i] || (located_only && !errs_where[i][0])) continue;
        fprintf(err, "velkor: %s%s%s%s\n", errs_where[i], errs_where[i][0] ? ": " : "", errhdl_message(errs[i]),
                errs_detail[i]);
        printed++;
    }
    return printed;
}

const char* errhdl_where(short slot) { return slot >= 0 && slot < ERRHDL_SLOTS ? errs_where[slot] : ""; }
const char* errhdl_detail(short slot) { return slot >= 0 && slot < ERRHDL_SLOTS ? errs_detail[slot] : ""; }

void clr_errhdl() {
    for (short i = 0; i < ERRHDL_SLOTS; i++) clear_slot(i);
    errs_len = 0;
    last_kept = -1;
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
        clear_slot(i);
    }
    errs_len = 0;
    clear_slot(0);
    last_kept = -1;
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
