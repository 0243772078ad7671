// $ substitution: variable references in a line replaced by their values before it is parsed;
// and the script services the input stack is given (substitution, loop conditions).
#ifndef VELKOR_SCRIPT_SUBSTITUTION_H
#define VELKOR_SCRIPT_SUBSTITUTION_H

// Gives the input stack its substitution and its loop conditions (input_hooks). Called once at
// start-up, before the first line is read. Can't fail.
//
// Substitution replaces the $ references of a line outside quotes and not after a backslash:
// $name of an INT or INT32 by its decimal value, of a CHAR by its text and $name[k] by its
// character k (with QUOTE ON between double and single quotes); $NOW, when no variable has that
// name, by the time as 0x and 8 hexadecimal digits, and $PNP_CARDS likewise by *subst_pnp_cards
// in decimal (both matched whole, in any case). A built-in function's name, a function's and
// an unknown name stay as written. An index that is itself a reference is resolved in a further
// pass (32 at most). The result, in bigbuf, is loaded into P: 1 when P holds the line, 0 when it
// was dropped (6004 for a reference of more than 64 characters or a result of more than 2047,
// 6005 for a missing ']', 7008 for an index out of range, 1001; P keeps its previous line unless
// loading the result failed). A loop head (FOR or WHILE, whose condition is substituted afresh
// at every test) and a line without '$' are loaded unchanged, failing as P.command does.
//
// A loop condition is evaluated from P up to its ';' or '{' (eval_expr).
void attach_script_to_input();

// The number $PNP_CARDS stands for: the cards the last isolation gave a CSN. The application
// points it at the PnP layer's count at start-up (the script layer cannot see it); null, as it
// starts, reads as 0.
extern const short* subst_pnp_cards;

#endif
