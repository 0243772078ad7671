// Reading block statements: bounded text builders and raw scanning of P across continuation lines.
#ifndef VELKOR_SCRIPT_CAPTURE_H
#define VELKOR_SCRIPT_CAPTURE_H

// ERR_TOO_LONG is queued when a captured body, condition, header part, rest of a line or CALL
// expansion does not fit its work buffer: the construct is then refused whole and nothing of it
// runs. ERR_BRACES is queued when a construct is still open where the body of the loop it is
// read from ends.

// Text built in a fixed buffer. It never writes past cap bytes: once full, further characters
// only set overflow, so the caller can read the construct to its end and then refuse it.
struct BLOCK_TYP {
    char* buf;
    short cap;
    short len;
    short overflow;

    void make(char* buffer, short capacity);
    void put(char c);
    // Ends the current line with a NUL, unless that would make an empty line (a text block ends
    // at its first empty line).
    void endline();
    // Closes a text block: the last line's NUL (an empty block keeps one), then the block's NUL.
    void close();
    // NUL-terminates plain text (a condition).
    void terminate();
    // 1 when the last stored byte is a NUL or nothing is stored.
    short at_line_start() const;
};

// The nesting of one kind of bracket while a construct is read, from just after its opening
// bracket. Counted in a long: no nesting a file can hold wraps it.
struct NESTING_TYP {
    char open;
    char close;
    long depth;  // 1 inside the outermost pair

    void make(char opening, char closing);
    // Counts c. 1 when c is the closing bracket that ends the outermost pair.
    short closes(char c);
};

// Reads raw text of P up to and including the first target character, reading the next line
// through next_line (prompt, substitute) at a line end or '#', and at ';' when semicolon_ends.
// When keep is given the text read is put there, a single blank standing for each line break.
// 1, or 0 when the construct is abandoned (as next_line).
short scan_to(char target, const char* prompt, unsigned short substitute, bool semicolon_ends,
              BLOCK_TYP* keep);

// The character of P's line at its read position; NUL at the end of the line or with no line.
char cur_char();
// Reads the next line of a construct into P (as getline does) and puts the position at its
// start. 1, or 0 when the construct is abandoned: no more input can come, or the body of the
// loop it is read from ends first (7006 queued; the loop goes on with its next pass).
short next_line(const char* prompt, unsigned short substitute);
// Leaves the first token of the next non-empty, non-comment line current (as getword does).
// 1, or 0 when the construct is abandoned (as next_line).
short next_word(const char* prompt);
// 1 when the rest of P's line from position pos holds nothing but blanks, or only blanks before
// a ';' or '#' (a comment).
short rest_is_empty(short pos);
// Skips the rest of a block whose '{' has been read: braces are counted until the '}' that
// closes it; P's position is left after that '}'. Line ends read the next line.
// 1, or 0 at the end of input.
short skip_block(const char* prompt, unsigned short substitute);
// 1 when the rest of P's line from pos, as a one-line text block, fits smallbuf.
short rest_fits(short pos);
// Pushes the rest of P's line from pos as a plain one-line text frame (through smallbuf), so that
// it runs once the frames above it are done. Call rest_fits first. 1, or 0 with 1001 queued.
short push_rest(short pos);

#endif
