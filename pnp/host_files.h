// Reading the host's files under a root directory: the low-level part that the /proc holders
// (pnp/host_resources.cpp) and the kernel's ISA PnP cards (pnp/kernel_pnp.cpp) share. Internal to
// pnp/; nothing here prints.
#ifndef VELKOR_PNP_HOST_FILES_H
#define VELKOR_PNP_HOST_FILES_H

#include <stddef.h>
#include <stdio.h>

enum {
    HOST_PATH_SIZE = 4096,  // a path under the root, with its NUL
    HOST_LINE_SIZE = 512    // a line kept by the line readers; a longer one is dropped
};

// Joins root and rel (a relative path) into path (n bytes). Returns 1, or 0 when root is null or
// the path does not fit in n (path is then not usable).
short host_path(const char* root, const char* rel, char* path, size_t n);

// A host file being read, and how many more of its bytes may be read.
struct HOST_FILE {
    FILE* f;
    unsigned long left;  // starts at HOST_READ_MAX (pnp/host_resources.h)
};

// Opens the regular file at path for reading, at most HOST_READ_MAX bytes of it. Returns 1 with
// hf ready (the caller closes hf.f with fclose), or 0 when the file is absent, unreadable or not
// a regular file (a FIFO or device is never waited on). Every call counts in host_files_opened.
short host_open_path(const char* path, HOST_FILE& hf);
// Opens root/rel as host_open_path does. 0 also when the path cannot be made (host_path).
short host_open(const char* root, const char* rel, HOST_FILE& hf);

// The next byte of hf, or EOF at the end of the file or of the bytes it may read.
int host_next_char(HOST_FILE& hf);
// Reads the next line of hf into buf (n > 0) without its newline. Returns 1 for a whole line; -1
// for a line longer than buf holds, read to its end and dropped (buf keeps its start); 0 at the
// end of the file.
short host_read_line(HOST_FILE& hf, char* buf, size_t n);

// Copies the text s..s+len into dst (n > 0) without its surrounding blanks, cut to fit, each
// byte outside printable ASCII (0x20 to 0x7E) made '?': control characters, DEL, and every byte
// above (0x9B, which a terminal takes for a control sequence, among them), so that the text is
// safe to print. dst always ends with a NUL.
void host_copy_text(char* dst, size_t n, const char* s, size_t len);

// The value of the hex digit c (c must be one: isxdigit).
int host_hex_digit(char c);

// For tests: how many times a host file was opened (host_open_path called, whether or not it
// succeeded) since the program started. Can't fail.
long host_files_opened();

#endif
