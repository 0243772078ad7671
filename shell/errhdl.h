// Error queue: numbered failures queued where they happen, printed by the command loop.
#ifndef VELKOR_SHELL_ERRHDL_H
#define VELKOR_SHELL_ERRHDL_H

#include <cstdio>

// The error codes and their messages, in table order: one list makes both the enumeration and
// the message table, so that they never drift apart.
#define ERRCODE_LIST(X)                                                 \
    X(ERR_MEMORY, 1001, "System memory pool exhausted")                 \
    X(ERR_DEVICE, 1002, "System Device/Port error")                     \
    X(ERR_PERMISSION, 1003, "System level permission error")            \
    X(ERR_SYMTAB_UNDERFLOW, 3001, "Symbol table undeflow")              \
    X(ERR_FILENAME, 4001, "Filename for execution is bad")              \
    X(ERR_RETURN_KEYBOARD, 4002, "Cannot 'RETURN' from keyboard stack") \
    X(ERR_UNKNOWN_COMMAND, 4003, "Bad or Unknown command")              \
    X(ERR_END_OF_LINE, 5001, "End of token-stream on command-line")     \
    X(ERR_OUT_OF_CONTEXT, 5002, "Control-Loop command out of context")  \
    X(ERR_SETTINGS, 5003, "Invalid settings for specificed command")    \
    X(ERR_STACK_UNDERFLOW, 6001, "Input stack underflow")               \
    X(ERR_STACK_OVERFLOW, 6002, "Input stack overflow")                 \
    X(ERR_NO_FILE, 6003, "Cannot locate file")                          \
    X(ERR_TOO_LONG, 6004, "Max token buffer length is reached")         \
    X(ERR_MISSING_BRACKET, 6005, "Missing ']' on token")                \
    X(ERR_NUMBER_1, 7001, "Ill-formatted number 1")                     \
    X(ERR_NUMBER_2, 7002, "Ill-formatted number 2")                     \
    X(ERR_NUMBER_3, 7003, "Ill-formatted number 3")                     \
    X(ERR_DECLARATION, 7004, "Type-Declaration syntax invalid")         \
    X(ERR_DEFINED, 7005, "Variable previously defined")                 \
    X(ERR_BRACES, 7006, "Usage of braces in error")                     \
    X(ERR_CHAR_LENGTH, 7007, "Character length is invalid")             \
    X(ERR_INDEX, 7008, "Array index is out-of-bounds")                  \
    X(ERR_BAD_TOKEN, 7009, "Bad token in expression")                   \
    X(ERR_BAD_COMMAND, 7010, "Bad cmd or expression")                   \
    X(ERR_ARGUMENT_REF, 7011, "Invalid argument reference")             \
    X(ERR_FUNCTION_DECL, 7012, "Bad function declaration")              \
    X(ERR_FUNCTION_NAME, 7013, "Bad function name reference")           \
    X(ERR_NO_FUNCTION, 7014, "Function not found")                      \
    X(ERR_FUNCTION_ARGS, 7015, "Bad arguments to function")             \
    X(ERR_DELETION, 7016, "Invalid deletion requested")                 \
    X(ERR_EXPR_PUSH, 7017, "Bad expression push")                       \
    X(ERR_EXPR_POP, 7018, "Bad expression pop")                         \
    X(ERR_EXPR_ARG1, 7019, "Bad expression arg 1")                      \
    X(ERR_EXPR_ARG2, 7020, "Bad expression arg 2")                      \
    X(ERR_EXPR_ARG3, 7021, "Bad expression arg 3")                      \
    X(ERR_TIME_ARG, 7022, "Bad arg to time routines")                   \
    X(ERR_EXPR_OVERFLOW, 7023, "Expression stack overflow")

enum ERRCODE : short {
#define ERRCODE_ENUM(name, code, message) name = code,
    ERRCODE_LIST(ERRCODE_ENUM)
#undef ERRCODE_ENUM
};

// The queue's size: ERRHDL_SLOTS slots, of which ERRHDL_KEPT codes are kept.
enum { ERRHDL_SLOTS = 32, ERRHDL_KEPT = ERRHDL_SLOTS - 1 };

// Queues code (at most ERRHDL_KEPT are kept; later ones are dropped silently) and returns it
// unchanged, so a caller can pass it on as its own result.
short set_errhdl(short code);
// Empties the queue: every slot 0, count 0.
void clr_errhdl();
// Prints every queued code as "%s (%04X): %s\n" after one "\n", then empties the queue.
void errhdl(const char* title, FILE* out);
// Registers a message for a code the built-in table does not know. The first registration of a
// code stays; at most 50 rows. The text is not copied.
void setusr_err(short code, const char* message);

// Queue inspection, for the command loop and tests.
short errhdl_count();
short errhdl_code(short slot);  // 0 for an empty or out-of-range slot
// The message of a code as the report prints it ("Unknown error" when neither table has it).
const char* errhdl_message(short code);
// Forgets the user messages (tests only).
void errhdl_reset_user();

// What a report on standard error can say beyond the code: where the failing line came from and
// what the program knows of the failure. Each queued code keeps its own; the report prints them
// as "velkor: FILE:LINE: MESSAGE DETAIL".
enum { ERRHDL_WHERE_SIZE = 256, ERRHDL_DETAIL_SIZE = 256 };
// Gives the command file and line the current line came from: 1 with *name and *line, or 0 when
// it came from no command file (the keyboard). Set by the input stack's layer at start-up; while
// it is null no code has a place.
extern short (*errhdl_where_hook)(const char** name, long* line);
// Adds a detail to the code queued last, when set_errhdl kept it (a dropped code takes none):
// the text is printed right after the message, so it starts with its own separator (" 'FOO'",
// ": No such file or directory"). Cut to ERRHDL_DETAIL_SIZE - 1 bytes. Can't fail.
__attribute__((format(printf, 1, 2))) void set_errdetail(const char* fmt, ...);
// Marks the code queued last as said on standard error already: the located report leaves it out.
void set_errsaid();
// Says a line on err at once, placed as a queued code would be: "velkor: FILE:LINE: TEXT", or
// "velkor: TEXT" when the current line has no place. The text is cut to 2047 bytes (a whole
// command line fits); control bytes in the place and the text are shown as '?'.
__attribute__((format(printf, 2, 3))) void say_placed(FILE* err, const char* fmt, ...);
// Prints one line to err for each queued code, as "velkor: FILE:LINE: MESSAGE DETAIL" (without
// "FILE:LINE: " when the code has no place). With located_only, only codes with a place are
// printed. The queue is left as it is (errhdl empties it). Returns the lines printed.
short errhdl_located(FILE* err, short located_only);
// The place and detail kept for a slot ("" when none), for tests.
const char* errhdl_where(short slot);
const char* errhdl_detail(short slot);

#endif
