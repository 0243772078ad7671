// TAB completion at the prompt: command words, the keywords of a command, variable and function
// names, file names.
#ifndef VELKOR_APP_COMPLETION_H
#define VELKOR_APP_COMPLETION_H

// Hands the completer below to the keyboard reader (cgets_set_completer): from then on TAB
// completes the lines typed at a terminal. Can't fail.
void completion_install();

// The completer. completion_begin takes the line up to the cursor (NUL-ended there) and the
// index where the word being completed starts (after a blank or one of completion_breaks) and
// returns what fits there as CGETS_OFFER_ bits (shell/cgets.h): 0 for nothing. Where words fit,
// completion_next then yields them one by one, null after the last: those that the typed word
// begins (without case), in lower case when the typed word, or (when it has no letter) the word
// before it, is in lower case, else in upper case. The text is valid until the next call.
//   at the start of a command (of the line, or after '{', '}' or ELSE): the command words
//     (without the short forms CONT, DEL, DEV and SH) and the variables (an assignment)
//   after '$' (outside quotes): the variables, NOW and the built-in functions
//   DEVICE: BEGIN END SET; DEVICE SET: its resources; a resource that takes values: CLEAR;
//     MEM and MEM32 after three values: their widths; IRQ after two values: HIGH LOW EDGE LEVEL
//   DUMP: CARD RESOURCES DEVICE, DUMP DEVICE: ALL   HELP: the topics   ISOLATE: CSN RESET
//     RESET_DRV   DEBUG, ECHO, QUOTE: ON OFF   SHOW: HEX and every name   DELETE: every name
//     CALL: the functions   GET: the variables
//   file names: after '@', FILE (with CLOSE) or FILE -a, and in a SHELL (or '!') command
// Inside quotes and after '#' or ';' nothing fits. Can't fail.
short completion_begin(const char* line, int start);
const char* completion_next();
// The characters that end a word for completion, besides blanks.
extern const char* const completion_breaks;

#endif
