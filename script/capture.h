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
    char* buf;       // the caller's buffer, borrowed
    short cap;       // bytes of buf that may be written
    short len;       // bytes stored
    short overflow;  // 1 once a byte did not fit

    // Starts an empty text in buffer (capacity bytes). Can't fail.
    void make(char* buffer, short capacity);
    // Stores c, or sets overflow when the buffer is full.
    void put(char c);
    // Ends the current line with a NUL, unless that would make an empty line (a text block ends
    // at its first empty line).
    void endline();
    // Closes a text block: the last line's NUL (an empty block keeps one), then the block's NUL.
    void close();
    // NUL-terminates plain text (a condition); len stays. When the buffer is full it sets
    // overflow and puts the NUL on the last byte.
    void terminate();
    // 1 when the last stored byte is a NUL or nothing is stored.
    short at_line_start() const;
};

// The nesting of one kind of bracket while a construct is read, from just after its opening
// bracket. Counted in a long: no nesting a file can hold wraps it.
struct NESTING_TYP {
    char open;   // the opening bracket
    char close;  // the closing bracket
    long depth;  // 1 inside the outermost pair

    // Starts at depth 1, as just after an opening bracket. Can't fail.
    void make(char opening, char closing);
    // Counts c. 1 when c is the closing bracket that ends the outermost pair.
    short closes(char c);
};

// Reads raw text of P (quotes not recognised, case kept) up to and including the first target
// character, reading the next line through next_line (prompt, substitute) at a line end or '#'
// (the rest of that line is skipped), and at ';' when semicolon_ends. When keep is given the
// text read is put there (the target not), a single blank standing for each line read. P's
// position is left after the target. 1, or 0 when the construct is abandoned (as next_line).
short scan_to(char target, const char* prompt, unsigned short substitute, bool semicolon_ends,
              BLOCK_TYP* keep);

// The character of P's line at its read position; NUL at the end of the line or with no line.
char cur_char();
// Reads the next line of a construct into P and puts the position at its start: from the
// keyboard through getline (a held line is taken again, from its start); a used-up plain text
// block or a command file that ends is popped and reading goes on in the frame below; a line
// dropped (too long, or by substitution) is passed over, its error queued. 1, or 0 when the
// construct is abandoned: no more input can come, a signal is pending, the stack is empty, or
// the body of the loop it is read from ends first (7006 queued; the loop goes on with its next
// pass).
short next_line(const char* prompt, unsigned short substitute);
// Takes the next token of P. When the line has none left, or the token is '#' (a comment), it
// reads on through next_line (without substitution) to the first token of a line that has one
// and is no comment. 1 with that token current, or 0 when the construct is abandoned (as
// next_line).
short next_word(const char* prompt);
// 1 when the rest of P's line from position pos holds nothing but blanks, or only blanks before
// a ';' or '#' (a comment); also when no line is loaded. pos must lie within the line.
short rest_is_empty(short pos);
// Skips the rest of a block whose '{' has been read: braces are counted (also in quotes and
// comments) until the '}' that closes it; P's position is left after that '}'. Line ends read
// the next line through next_line. 1, or 0 when the construct is abandoned (as next_line).
short skip_block(const char* prompt, unsigned short substitute);
// 1 when the rest of P's line from pos, as a one-line text block, fits smallbuf; 0 when not or
// when no line is loaded.
short rest_fits(short pos);
// Pushes the rest of P's line from pos as a plain one-line text frame (built in smallbuf), so
// that it runs once the frames above it are done. 1, or 0 with nothing pushed and 6004 queued
// when it does not fit (see rest_fits), or the push's 1001 or 6002.
short push_rest(short pos);

#endif
