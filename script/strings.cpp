// Built-in string functions (placeholder).
#include "script/strings.h"
#include "shell/errhdl.h"
short is_builtin(const char*) { return 0; }
const BUILTIN_TYP* get_builtin(const char*) { return nullptr; }
short get_args(const char*) { return 0; }
short eval_strexpr(char* dst, short len, const char*) { if (len > 0) dst[0] = 0; set_errhdl(7010); return 0; }
long time_sec() { return 0; }
void str_timdat(unsigned long, char* buf, short) { buf[0] = 0; }
