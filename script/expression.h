// Numbers, integer expressions without precedence, and assignment.
#ifndef VELKOR_SCRIPT_EXPRESSION_H
#define VELKOR_SCRIPT_EXPRESSION_H

// Values are 32-bit two's complement; they travel in a long but never leave the 32-bit range.

// Converts one number literal (decimal, 0x, leading-0 octal, 0b, 'c' character). Saturates at the
// 32-bit range. allowed_tail (may be null) lists characters that may follow the number.
// 1, or 0 with *out = 0 and 7001/7002 queued.
short toINT(long* out, const char* text, const char* allowed_tail);
// Evaluates the tokens of P from its position. stop_chars (may be null) end the expression.
// 1 with the value in *out, or 0 (*out = 0) with the error queued.
short eval_expr(long* out, const char* stop_chars);
// name = expression
short exec_expr();

#endif
