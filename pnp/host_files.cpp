// Reading the host's files under a root: paths, bounded opens and lines, printable copies.
#include "pnp/host_files.h"

#include <ctype.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "pnp/host_resources.h"

static long opened;  // calls of host_open_path

short host_path(const char* root, const char* rel, char* path, size_t n) {
    if (!root) return 0;
    size_t len = strlen(root);
    const char* sep = len && root[len - 1] == '/' ? "" : "/";
    int w = snprintf(path, n, "%s%s%s", root, sep, rel);
    return w >= 0 && (size_t)w < n;
}

short host_open_path(const char* path, HOST_FILE& hf) {
    opened++;
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return 0;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || !(hf.f = fdopen(fd, "r"))) {
        close(fd);
        return 0;
    }
    hf.left = HOST_READ_MAX;
    return 1;
}

short host_open(const char* root, const char* rel, HOST_FILE& hf) {
    char path[HOST_PATH_SIZE];
    return host_path(root, rel, path, sizeof path) && host_open_path(path, hf);
}

int host_next_char(HOST_FILE& hf) {
    if (!hf.left) return EOF;
    hf.left--;
    return getc(hf.f);
}

short host_read_line(HOST_FILE& hf, char* buf, size_t n) {
    size_t len = 0;
    short whole = 1;
    int c;
    while ((c = host_next_char(hf)) != EOF && c != '\n') {
        if (len + 1 < n)
            buf[len++] = (char)c;
        else
            whole = 0;
    }
    buf[len] = 0;
    if (c == EOF && len == 0) return 0;
    return whole ? 1 : -1;
}

void host_copy_text(char* dst, size_t n, const char* s, size_t len) {
    while (len && isspace((unsigned char)*s)) s++, len--;
    while (len && isspace((unsigned char)s[len - 1])) len--;
    if (len > n - 1) len = n - 1;
    for (size_t i = 0; i < len; i++) {
        unsigned char c = (unsigned char)s[i];
        dst[i] = c < 0x20 || c > 0x7e ? '?' : s[i];
    }
    dst[len] = 0;
}

int host_hex_digit(char c) {
    return isdigit((unsigned char)c) ? c - '0' : tolower((unsigned char)c) - 'a' + 10;
}

long host_files_opened() { return opened; }
