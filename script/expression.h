// Numbers, integer expressions without precedence, and assignment.
#ifndef VELKOR_SCRIPT_EXPRESSION_H
#define VELKOR_SCRIPT_EXPRESSION_H

// Values are 32-bit two's complement; they travel in a long but never leave the 32-bit range.

// Converts one number literal (decimal, 0x, leading-0 octal, 0b, 'c' character; leading blanks
// and a sign are taken, and an empty text is 0). Saturates at the 32-bit range. allowed_tail (may
// be null) lists characters that may follow the number. 1 with *out, or 0 with *out = 0 and 7001
// (character literal) or 7002 (anything else, a null text too) queued.
short toINT(long* out, const char* text, const char* allowed_tail);
// Evaluates the tokens of P from its position: literals, operators and parentheses, reduced from
// the right without precedence. Reading stops at the end of the line, at a ';' or '#' token, or
// at a token whose first character is in stop_chars (may be null); that token is consumed.
// 1 with the value in *out, or 0 (*out = 0) with the error queued, except that a character
// literal whose closing quote is not on the line fails with nothing queued.
short eval_expr(long* out, const char* stop_chars);
// name = expression           INT, INT32: the low 16 or all 32 bits are stored
// name[index] = expression    CHAR element (index a literal): the low 8 bits are stored
// name = string-expression    CHAR (see eval_strexpr)
// Returns 0 when the first token names no symbol, else 1, also when it queued an error: 7009
// for a function or a symbol without storage, 7010 for a missing '=' or a cut index, 7003 for an
// index that is no number, 7008 for one out of range or not closed by ']', else the evaluator's.
short exec_expr();

#endif
