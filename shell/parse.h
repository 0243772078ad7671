// Tokenizer and string helpers shared by the whole shell.
#ifndef VELKOR_SHELL_PARSE_H
#define VELKOR_SHELL_PARSE_H

// Mode bits of PARSE::get.
enum {
    PP_FILENAME = 1,  // ':' '/' '\' '.' are word characters; the token is raw text
    PP_RAW = 2,       // the token is the raw text from the old position, case kept
    PP_COUNT = 4,     // first extra argument: number of tokens to take
    PP_INDEX = 8,     // next extra argument: token number k from the line start; pos unchanged
    PP_MARK = 16      // with a raw mode, raw text starts at the first non-blank character
};

class PARSE {
public:
    char* seps;  // the separator set: always PP_seps
    char* line;  // heap copy of the current line
    short linelen;
    char* token;  // 2 * linelen + 1 bytes: the current token
    short toklen;
    short pos;  // index of the next character of line to read

    static char PP_seps[80];

    void izero();
    void make();  // izero, then attach PP_seps
    void clear();
    // Loads text as the current line. Returns 0, or the queued code (5001 no text, 1001 memory).
    short command(const char* text);
    // Takes the next token. Returns 0 when one was taken, 1 at the end of the line (token empty)
    // or when no line is loaded.
    short get(int mode, ...);
    // The unread rest of the line (raw), or null when no line is loaded. Consumes nothing.
    char* cmd_ptr();
    // After get returned an opening delimiter: token = the raw text up to the closing one
    // (both delimiters kept when keep is non-zero). Returns 0 when done, 1 when the line ended first.
    short delimited(unsigned short keep);
};

extern PARSE P;

struct WC {
    static short streq(const char* a, const char* b);  // abbreviation test
    // Frees dst and gives it a zeroed heap copy of src (null for a null src).
    // Returns 0, or the queued 1001 when memory runs out (dst then null).
    static short strxfer(char*& dst, const char* src);
    static void strupr(char* s);
    static void memset(void* p, short fill, unsigned n);
    static void memcpy(void* dst, const void* src, unsigned n);
};

#endif
