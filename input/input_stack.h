// Input stack: keyboard, command-file and text-block frames handing out one line at a time.
#ifndef VELKOR_INPUT_INPUT_STACK_H
#define VELKOR_INPUT_INPUT_STACK_H

#include <cstdio>

// Work buffers shared by the whole program; they hold nothing across turns.
enum { SMALLBUF_SIZE = 1024, BIGBUF_SIZE = 2048, HUGEBUF_SIZE = 4096 };
extern char smallbuf[SMALLBUF_SIZE];  // line being read; PRINT text; date and time texts
extern char bigbuf[BIGBUF_SIZE];      // substitution output; WHILE condition
extern char hugebuf[HUGEBUF_SIZE];    // function and loop bodies being built; CALL expansions

struct STREAM_TYP {
    FILE* fp;        // command file of a file frame
    char* text;      // text block of a text frame: lines ended by NUL, block ended by one more NUL
    char* cursor;    // next line in text
    char* cond;      // loop condition (NUL-terminated) or null
    char* step;      // loop step (a text block) or null
    short steplen;   // byte length of step; negative while the step is not due
    short endbrace;  // 1 when the command just taken from this frame was a closing brace
    short textlen;   // byte length of text (bounds every walk of the block)
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
extern INPUT_HOOKS_TYP input_hooks;

class INPUT_TYP {
public:
    short hold;  // 1: the next setup hands back the current line of P at once
    short depth;
    STREAM_TYP** frames;  // bottom first

    void make();
    void unmake();
    // File frame (keyboard frame for a null name). ext is tried appended when name cannot be
    // opened (a directory counts as not openable). 1, or 0 with the stack unchanged and 6003
    // queued, or 6002 when the stack is full or no file descriptor is left, or 1001 (memory).
    short push(const char* name, const char* ext);
    // Text frame: textlen bytes of text (a text block); cond (condlen bytes) makes it a loop;
    // step (steplen bytes) runs after each pass. 1, or 0 with 1001 (memory) or 6002 (the stack
    // is full) queued and the stack unchanged.
    short push(const char* text, short textlen, const char* cond, short condlen, const char* step,
               short steplen);
    short pop();
    // Loads the next line into P. 1 when P holds a line to run, 0 when this call produced none.
    short setup(const char* prompt, unsigned short substitute);
    // $ substitution of text (input_hooks.substitute; none when substitute is 0), loading the
    // line into P. 1 when P holds the line, 0 when it was dropped (an error is queued).
    short varsubst(const char* text, unsigned short substitute);
    STREAM_TYP* stream_ptr(unsigned short report);
    short is_file();
    short is_funct();
    short is_keyboard();
    short allocate();
    short deallocate();
};

extern INPUT_TYP input;

#endif
