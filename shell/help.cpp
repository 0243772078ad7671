// Help system: command summary, built-in topics and the registry of application topics.
#include "shell/help.h"

#include <cstdio>

#include "shell/parse.h"

namespace {

enum { HELP_MAX = 18 };  // entries of each registry

struct TOPIC_TYP {
    const char* name;
    const char* text;
};

// The registry keeps the caller's pointers: registered texts are constants that live as long as
// the program.
const char* x_sum[HELP_MAX];
short x_sum_len = 0;
TOPIC_TYP x_desc[HELP_MAX];
short x_desc_len = 0;

// Shell and script topics. ORDER: tried in this order, so a short abbreviation goes to the first
// topic it fits (D is DELETE, F is FUNCTION, I is IF). The texts are printf formats ("%%").
const TOPIC_TYP builtin_topics[] = {
    {"TYPE",
     "\n"
     "FMT: <type> <uname> [ [#] ]\n"
     "\n"
     "Valid Types are:  \n"
     "   INT      - 2 byte integer\n"
     "   INT32    - 4 byte integer\n"
     "   CHAR     - 1 byte character\n"
     "   CHAR []  - an array of character\n"
     "\n"
     "Examples:\n"
     "  INT   aaa\n"
     "  CHAR  bbb[30]\n"
     "\n"},
    {"EXPRESSIONS",
     "\n"
     "- expression can contain  '$<var-nam>' references.\n"
     "- normal ops with no precedence rules\n"
     "  %% * / | & ^ ~ ! + - > < == != >= <= >> << && ||\n"
     "- '()' parenthesis are used for operational precedences\n"
     "- $NOW - current date/time in binary (INT32)\n"
     "   binary = $NOW\n"
     "- built-in functions:\n"
     "   string <= $DT_DATE  ( [binary-value] )\n"
     "           - returns MMM-DD-YY (or $DT_DATEY2)\n"
     "   string <= $DT_DATEY4 ( [binary-value] )\n"
     "           - returns MMM DD, YYYY\n"
     "   string <= $DT_TIME  ( [binary-value] )\n"
     "           - returns hh:mm:ss\n"
     "   string <= $DT_DATETIME  ( [binary-value] )\n"
     "           - returns MMM DD, YYYY hh:mm:ss\n"
     "   string <= $SYS_ENV( \"envvar-name\" )\n"
     "           - returns SHELL environment var value\n"
     "\n"
     "Examples:\n"
     "  aaa = 99 * 10\n"
     "  bbb[10] = 'a'\n"
     "  bbb = \"This is it\"\n"
     "\n"},
    {"SHOW",
     "\n"
     "FMT: SHOW [hex] [var-name [, var-name, ...]];\n"
     "\n"
     "- show variable definitions and values\n"
     "- optionally in [hex] or not- '*' is wildcard (All symbols)\n"
     "\n"
     "Examples:\n"
     "  show aaa\n"
     "  show hex aaa\n"
     "  show \n"
     "  show *\n"
     "\n"},
    {"DELETE",
     "\n"
     "FMT: DELETE var-name [, var-name, ...];\n"
     "\n"
     "- delete a variable definition\n"
     "- keyword 'DEL' allowed\n"
     "\n"
     "Examples:\n"
     "  delete aaa;\n"
     "  del aaa;\n"
     "\n"},
    {"FUNCTION",
     "\n"
     "FMT: \n"
     "     FUNCTION user-name( #-of-args )\n"
     "     { \n"
     "     ...  ; use $1, $2, $n for arg-reference\n"
     "     } \n"
     "\n"
     "- define a function\n"
     "- NOTE: all variables are global (use del at end)\n"
     "\n"},
    {"WHILE",
     "\n"
     "FMT: WHILE (expr)\n"
     "     { \n"
     "     ...  ;\n"
     "     BREAK;\n"
     "     ...  ;\n"
     "     CONTINUE | CONT ;\n"
     "     ...  ;\n"
     "     } \n"
     "\n"
     "- define a conditionally controlled loop\n"
     "\n"},
    {"IF",
     "\n"
     "FMT: \n"
     "     IF (expr)  \n"
     "     {          \n"
     "     ...        \n"
     "     } ELSE IF {\n"
     "     ...        \n"
     "     } ELSE {   \n"
     "     ...     ;  \n"
     "     }          \n"
     "\n"
     "- define conditional sequential execution\n"
     "\n"},
    {"FOR",
     "\n"
     "FMT: \n"
     "     FOR ( stmt, stmt, ...; (expr); stmt, stmt, ... )\n"
     "     {      \n"
     "     ...  ; \n"
     "     BREAK; \n"
     "     ...  ; \n"
     "     CONTINUE | CONT ;\n"
     "     ...  ;\n"
     "     } \n"
     "\n"
     "- define an extended conditionally controlled loop\n"
     "\n"},
    {"GET",
     "\n"
     "FMT: GET <var> [prompt]\n"
     "\n"
     "- get input from user and store in defined variable\n"
     "\n"
     "Examples:\n"
     "  int i;\n"
     "  char name[30];\n"
     "\n"
     "  get i \"Number: \"\n"
     "  get name \"String: \"\n"
     "\n"},
    {"PRINT",
     "\n"
     "FMT: PRINT [opts] user-text\n"
     "\n"
     "- display user-text on the screen\n"
     "- [opts] are:\n"
     "  -n     - suppress newline\n"
     "  -e     - translate user-text\n"
     "           /n /r /t /f\n"
     "           /e   = insert escape char\n"
     "  -o     - redirect output to FILE-cmd output\n"
     "\n"},
    {"FILE",
     "\n"
     "FMT: FILE [CLOSE | filename]\n"
     "\n"
     "- display current output direction\n"
     "- CLOSE will close current output designation\n"
     "- 'filename' will open for output dumps\n"
     "  optional: -a filename for file appending\n"
     "\n"
     "Examples:\n"
     "  FILE \n"
     "  FILE  CLOSE \n"
     "  FILE  myfile.out \n"
     "  FILE -a myfile.out \n"
     "\n"},
};

// Summary lines of the shell and script commands, before the registered ones.
const char* const summary_lines[] = {
    "  <type>  var-name         : define variable (help type)\n",
    "  var-name = expression    : usual no-prec (help expressions)\n",
    "  file [opts]              : set output file (help file)\n",
    "  print [opts] <text-expr> : display text-expr\n",
    "  show [hex] [var-name]    : show variable def & value\n",
    "  delete <var-name>        : delete variable definition\n",
    "  echo [on | off]          : set echo level (see funct/file)\n",
    "  quote [on | off]         : use quotes on references or not\n",
    "  @<file>                  : execute command filename\n",
    "  return                   : return from command file\n",
    "  function ...             : define function (help function)\n",
    "  call func-name(a,b,..)   : execute function with args\n",
    "  while (expr) { ... }     : loop control (help while)\n",
    "  if (expr) { ... }        : if control (help if)\n",
    "  for (...) { ... }        : for contorl\n",
    "  get <var> [prompt-txt]   : get user input into variable\n",
    "  shell | ! <sys-cmd>      : execute system command\n",
};

// Prints a text that is a printf format without conversions: "%%" stands for one '%'.
void put_format(const char* text) {
    for (const char* s = text; *s; s++) {
        if (s[0] == '%' && s[1] == '%') s++;
        putchar(*s);
    }
}

}  // namespace

short set_sum_help(const char* line) {
    if (x_sum_len >= HELP_MAX) return 0;
    x_sum[x_sum_len++] = line;
    return 1;
}

short set_desc_help(const char* name, const char* text) {
    if (x_desc_len >= HELP_MAX) return 0;
    x_desc[x_desc_len].name = name;
    x_desc[x_desc_len].text = text;
    x_desc_len++;
    return 1;
}

const char* help_topic(short k) {
    const short builtins = (short)(sizeof builtin_topics / sizeof builtin_topics[0]);
    if (k >= 0 && k < builtins) return builtin_topics[k].name;
    if (k >= builtins && k - builtins < x_desc_len) return x_desc[k - builtins].name;
    return nullptr;
}

void help_reset() {
    x_sum_len = 0;
    x_desc_len = 0;
}

void summary(const char* bad) {
    if (bad) printf("Invalid command '%s'!\n", bad);
    put_format("Commands are: \n");
    for (const char* line : summary_lines) put_format(line);
    for (short i = 0; i < x_sum_len; i++) printf("  %s\n", x_sum[i]);
    put_format("  quit | exit              : terminate programm\n");
    put_format("  #                        : comment (can use ';' at-eol)\n");
}

// HELP [topic]   summary, a built-in topic, or a registered one (topics may be abbreviated)
short exec_help() {
    if (!WC::streq(P.token, "HELP")) return 0;
    if (P.get(0) != 0 || P.token[0] == ';') {
        summary(nullptr);
        return 1;
    }
    for (const TOPIC_TYP& t : builtin_topics) {
        if (WC::streq(P.token, t.name)) {
            put_format(t.text);
            return 1;
        }
    }
    for (short i = 0; i < x_desc_len; i++) {
        if (WC::streq(P.token, x_desc[i].name)) {
            printf("\n%s\n", x_desc[i].text);
            return 1;
        }
    }
    summary(P.token);
    return 1;
}
