// Card commands: ISOLATE, DETECT, STATUS.
#ifndef VELKOR_APP_CARD_COMMANDS_H
#define VELKOR_APP_CARD_COMMANDS_H

// The handlers take the line in P with its first token read. Each returns 0 when the line is
// not its command, else 1 (also when it queued an error). Without port permission ISOLATE and
// DETECT queue 1003 and send nothing.

// ISOLATE [CSN | RESET | RESET_DRV]   Config Control 4, 1 or 7, then isolation of every card.
// Another word: 7009, nothing sent. Once isolation has run configuration mode is over; with
// cards found no card is current any more and PNP_PORT is the port they answered at, with none
// "No cards found!" goes to standard output.
short exec_isolate();
// DETECT [csn-expression]   reads the card (default: the current one) into the card table and
// makes it current when no card is. 1002 when there is no CSN to read or no record left for a
// new one; a card that does not answer prints "Card #NN cannot be loaded" on standard output.
// An expression that does not evaluate counts as none (its errors are dropped). Once a load
// has run configuration mode is over.
short exec_detect();
// STATUS   the PnP state and the card table, on outfp. Can't fail.
short exec_status();
// Evaluates the rest of the line into *out (0 when there is none or it does not evaluate).
// quiet: the error queue is emptied afterwards and the result is 1; otherwise the result is the
// evaluator's: 1 for a value, 0 for a failure (queued).
short getINT(long* out, unsigned short quiet);

#endif
