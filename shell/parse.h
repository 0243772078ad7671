// Tokenizer and string helpers shared by the whole shell.
#ifndef VELKOR_SHELL_PARSE_H
#define VELKOR_SHELL_PARSE_H

// Mode bits of PARSE::get.
enum {
    PP_FILENAME = 1,  // ':' '/' '\' '.' are word characters; the token is raw text as with PP_RAW
    PP_RAW = 2,       // the token is the raw text from the old position, case kept
    PP_COUNT = 4,     // first extra argument: number of tokens to take
    PP_INDEX = 8,     // next extra argument: token number k from the line start; pos unchanged
    PP_MARK = 16      // with a raw mode, raw text starts at the first non-blank character
};

// The tokenizer. A token is a word (upper-cased, ended by a separator or the line end) or one
// separator character; blanks between tokens are skipped. P is the one the program uses.
class PARSE {
public:
    char* seps;     // the separator set: always PP_seps
    char* line;     // heap copy of the current line; null when none is loaded
    short linelen;  // bytes of line
    char* token;    // 2 * linelen + 2 bytes: the current token, NUL-terminated; null when no line
    short toklen;   // bytes of token
    short pos;      // index of the next character of line to read

    // Blank and punctuation; get cuts the set before ':' for PP_FILENAME and puts it back.
    static char PP_seps[80];

    // Sets every field to zero and null without freeing anything: for a PARSE never made.
    void izero();
    // izero, then attach PP_seps. Can't fail.
    void make();
    // Frees the line and the token: no line is loaded, pos 0. seps stays. Can't fail.
    void clear();
    // Loads text as the current line (cut at 32767 bytes), the previous one freed, pos 0.
    // Returns 0, or the queued code: 5001 for a null text, 1001 when memory runs out. On failure
    // no line is loaded.
    short command(const char* text);
    // Takes the next token (mode: PP_ bits, their extra arguments after it). Returns 0 when one
    // was taken, 1 at the end of the line (token empty) or when no line is loaded (nothing
    // changed). With PP_COUNT the tokens taken are joined by one blank each (and a blank follows
    // the last when the line ended first): 0 when at least one was taken.
    short get(int mode, ...);
    // The unread rest of the line (raw), or null when no line is loaded. Consumes nothing.
    char* cmd_ptr();
    // After get returned an opening delimiter: token = the raw text up to the next token that is
    // the same character (both delimiters kept when keep is non-zero), pos after it. Returns 0
    // when done, 1 when the line ended first (token empty, pos at the end). Nothing queued. With
    // no line or nothing read yet it returns 0 and changes nothing.
    short delimited(unsigned short keep);
};

// The program's tokenizer: made before main runs, cleared after it returns.
extern PARSE P;

// String helpers that accept null pointers.
struct WC {
    // Abbreviation test: 1 when a is non-empty and a prefix of b, compared with bit 0x20 cleared
    // (so without case, but also '@' equals '`' and '[' equals '{'); 0 otherwise or for null.
    static short streq(const char* a, const char* b);
    // Frees dst and gives it a zeroed heap copy of src (null for a null src).
    // Returns 0, or the queued 1001 when memory runs out (dst then null).
    static short strxfer(char*& dst, const char* src);
    // Upper-cases the ASCII letters of s in place; nothing for null.
    static void strupr(char* s);
    // As memset and memcpy; nothing when a pointer is null or n is 0.
    static void memset(void* p, short fill, unsigned n);
    static void memcpy(void* dst, const void* src, unsigned n);
};

#endif
