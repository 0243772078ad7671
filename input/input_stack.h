// Input stack: keyboard, command-file and text-block frames handing out one line at a time.
#ifndef VELKOR_INPUT_INPUT_STACK_H
#define VELKOR_INPUT_INPUT_STACK_H

#include <cstdio>

// Work buffers shared by the whole program; they hold nothing across turns.
enum { SMALLBUF_SIZE = 1024, BIGBUF_SIZE = 2048, HUGEBUF_SIZE = 4096 };
extern char smallbuf[SMALLBUF_SIZE];  // line being read (also GET's); PRINT text; push_rest's block
extern char bigbuf[BIGBUF_SIZE];      // substitution output
extern char hugebuf[HUGEBUF_SIZE];    // bodies being built; FOR header parts; CALL expansions

struct STREAM_TYP {
    FILE* fp;        // command file of a file frame
    char* text;      // text block of a text frame: lines ended by NUL, block ended by one more NUL
    char* cursor;    // next line in text
    char* cond;      // loop condition (NUL-terminated) or null
    char* step;      // loop step (a text block) or null
    short steplen;   // byte length of step; negative while the step is not due
    short endbrace;  // 1 when the command just taken from this frame was a closing brace
    short textlen;   // byte length of text (bounds every walk of the block)
    char* name;      // name the command file was opened by, or null (also when no memory was left)
    long lineno;     // lines read from the command file so far
};

// The most frames the stack holds: depth is a signed 16-bit count. A push beyond it is refused
// with 6002 and adds nothing.
enum { INPUT_DEPTH_MAX = 32767 };

// What the input stack needs of the script language above it, given by that layer at start-up
// (attach_script_to_input). Without them lines load unchanged and a loop condition is false.
struct INPUT_HOOKS_TYP {
    // $ substitution of text, loaded into P: 1 when P holds the line, 0 when it was dropped.
    short (*substitute)(const char* text);
    // Evaluates the loop condition that is loaded in P: 1 with *value, or 0 (error queued).
    short (*condition)(long* value);
};
// The hooks in use; both null until attach_script_to_input fills them in.
extern INPUT_HOOKS_TYP input_hooks;

// A stack of frames, bottom first; the top frame hands out the next line. The bottom frame is
// the keyboard, which is never popped in a run.
class INPUT_TYP {
public:
    short hold;           // 1: the next setup hands back the current line of P at once
    short depth;          // frames on the stack
    STREAM_TYP** frames;  // bottom first; null when depth is 0

    // Starts an empty stack and pushes the keyboard frame; hold 0. For a stack never made or just
    // unmade (frames held before are not freed). When memory runs out the stack stays empty, with
    // 1001 queued.
    void make();
    // Closes every command file and frees every frame: depth 0, frames null, hold 0. Can't fail.
    void unmake();
    // File frame (keyboard frame for a null name). ext is tried appended when name cannot be
    // opened (a directory counts as not openable). 1, or 0 with the stack unchanged and 6003
    // queued, or 6002 when the stack is full or no file descriptor is left, or 1001 (memory).
    short push(const char* name, const char* ext);
    // Text frame: textlen bytes of text, a text block (null text or textlen below 1: an empty
    // block). cond (condlen bytes) makes it a loop, which tests cond before its first pass, so a
    // loop's textlen must count at least its last line's NUL; step (steplen bytes, a text block)
    // runs after each pass, before the next test; a step of no bytes is none. Everything is
    // copied: the caller's buffers are free again on return. 1, or 0 with 1001 (memory) or 6002
    // (the stack is full) queued and the stack unchanged.
    short push(const char* text, short textlen, const char* cond, short condlen, const char* step,
               short steplen);
    // Closes and frees the top frame. 1, or 0 with 6002 queued (not 6001) when the stack is empty.
    short pop();
    // Loads the next line of the top frame into P: the keyboard shows prompt, substitute non-zero
    // puts the line through varsubst with substitution. smallbuf is cleared first and then holds
    // a line read from a file or the keyboard. With hold set it only clears hold: P is untouched.
    // Returns 1 when P holds a line to run, 0 when this call produced none: a frame ran dry and
    // was popped; a loop frame pushed its step, or tested its condition (false or failing: the
    // loop is popped; true with an empty body: no line this turn); a file line longer than
    // smallbuf was dropped (6004); substitution dropped the line (its error queued); the keyboard
    // gave no line (see cgets) or a signal came while it read; or the stack is empty (6002).
    short setup(const char* prompt, unsigned short substitute);
    // $ substitution of text (input_hooks.substitute; none when substitute is 0), loading the
    // line into P. 1 when P holds the line, 0 when it was dropped (an error is queued: without
    // substitution P.command's 5001 or 1001).
    short varsubst(const char* text, unsigned short substitute);
    // The top frame, or null when the stack is empty (6002 queued when report is non-zero).
    STREAM_TYP* stream_ptr(unsigned short report);
    // 1 when the top frame is a command file, a text frame (block, loop, step, call or the rest
    // of a line), or the keyboard; 0 otherwise, and for an empty stack.
    short is_file();
    short is_funct();
    short is_keyboard();
    // Where the current line came from: the innermost command file on the stack (a line of a
    // function or loop run from a file is placed at the file's line that runs it, the CALL or
    // the loop's last line) and the number of its last line read. 1 with *name and *line, or 0
    // when no command file is on the stack (the keyboard and what it runs); with -q, standard
    // input that is not a terminal is named "-" and placed by the lines cgets has read.
    short where(const char** name, long* line);
    // The frame array alone, for push and pop: allocate adds a zeroed frame on top; 1, or 0 with
    // the stack unchanged and 6002 (INPUT_DEPTH_MAX frames already) or 1001 queued. deallocate
    // frees the top frame's struct only (pop closes its file and frees its texts first); 1, or 0
    // with 6001 queued when the stack is empty.
    short allocate();
    short deallocate();
};

// The program's stack: made before main runs, with the keyboard frame; unmade after it returns.
extern INPUT_TYP input;

#endif
