// Saved cards: the bytes DETECT or --plan read from a card, written as a card file for --card.
#include "app/save_cards.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <sys/stat.h>
#include <unistd.h>

#include "pnp/pnp_ids.h"
#include "pnp/resource_items.h"
#include "shell/lost_output.h"
#include "shell/version.h"

const char* save_cards_dir = nullptr;

namespace {

enum {
    SERIAL_SIZE = 9,
    PATH_SIZE = 4096,
};

const char* const version = "velkor " VELKOR_VERSION;

// A printable copy of text in out (n bytes, cut to fit): each byte outside printable ASCII (a
// vendor ID of FF FF reads with a DEL, a vendor's name may be UTF-8) as \xHH, as systemd escapes
// unit names, so that a saved card's name and comments stay text and its file reloads as text.
void printable(const char* text, char* out, size_t n) {
    size_t len = 0;
    for (const unsigned char* p = (const unsigned char*)text; *p && len + 1 < n; p++) {
        if (*p >= 0x20 && *p < 0x7F) {
            out[len++] = (char)*p;
        } else if (len + 4 < n) {
            snprintf(out + len, 5, "\\x%02x", *p);
            len += 4;
        } else {
            break;
        }
    }
    out[len] = 0;
}

void put_bytes(FILE* fp, const unsigned char* p, long n) {
    for (long i = 0; i < n; i++) fprintf(fp, i ? " %02X" : "%02X", p[i]);
}

// The label of a whole item, as its line's comment.
void put_label(FILE* fp, const RES_ITEM& item) {
    fputs(res_label(item.tag)->saved, fp);
    if (item.large && item.name == RES_ANSI_STRING) {
        fputs(" \"", fp);
        for (long i = 0; i < item.have; i++)
            if (item.data[i] >= 0x20 && item.data[i] < 0x7F) fputc(item.data[i], fp);
        fputc('"', fp);
    }
    if (!item.large && (item.name == RES_LOGICAL_DEVICE_ID || item.name == RES_COMPATIBLE_ID) && item.have >= 4) {
        char id[RES_EISA_ID_SIZE], text[4 * RES_EISA_ID_SIZE];
        res_eisa_id_text(item.data, id);
        printable(id, text, sizeof text);
        fprintf(fp, " %s", text);
    }
}

}  // namespace

void card_file_name(const unsigned char* serial, char* name, size_t n) {
    char vendor[4 * RES_EISA_ID_SIZE];
    printable(devid_PNP(serial), vendor, sizeof vendor);
    snprintf(name, n, "%s-%08lX.hex", vendor, serialnum_PNP(serial));
}

void write_card_text(FILE* fp, const unsigned char* serial, const unsigned char* resdata, long reslen,
                     const char* when) {
    char vendor[4 * RES_EISA_ID_SIZE], maker[4 * PNP_IDS_NAME_SIZE] = "";
    printable(devid_PNP(serial), vendor, sizeof vendor);
    const char* name = pnp_vendor_name(devid_PNP(serial));
    if (name) printable(name, maker, sizeof maker);
    unsigned long number = serialnum_PNP(serial);
    fprintf(fp,
            "# Plug and Play ISA card %s%s%s%s, serial number %08lX: the bytes it returned after a "
            "Wake\n",
            vendor, name ? " (" : "", maker, name ? ")" : "", number);
    fprintf(fp, "# Saved by %s for --card\n", version);
    fprintf(fp, "# Date: %s\n", when);
    put_bytes(fp, serial, SERIAL_SIZE);
    fprintf(fp, "   # serial identifier: vendor ID %s, serial number %08lX, checksum %02X\n", vendor, number,
            serial[8]);
    long at = 0;
    RES_ITEMS items;
    RES_ITEM item;
    res_items_start(&items, resdata, reslen);
    while (res_items_next(&items, &item) && !item.cut) {
        put_bytes(fp, resdata + at, item.size);
        fputs("   # ", fp);
        put_label(fp, item);
        fputc('\n', fp);
        at += item.size;
    }
    if (at < reslen) {
        put_bytes(fp, resdata + at, reslen - at);
        fputs("   # bytes after the last whole item\n", fp);
    }
    fprintf(fp, "# %ld bytes in all (9 serial identifier + %ld resource data)\n", SERIAL_SIZE + reslen,
            reslen);
}

short save_card(const CARD_TYP& card) {
    if (!save_cards_dir) return 1;
    char name[64];
    card_file_name(card.serial, name, sizeof name);
    // "DIR/NAME", without the slashes that end DIR (but "/" itself).
    size_t dirlen = strlen(save_cards_dir);
    while (dirlen > 1 && save_cards_dir[dirlen - 1] == '/') dirlen--;
    const char* slash = dirlen > 0 && save_cards_dir[dirlen - 1] == '/' ? "" : "/";
    char path[PATH_SIZE], temp[PATH_SIZE];
    int len = snprintf(path, sizeof path, "%.*s%s%s", (int)dirlen, save_cards_dir, slash, name);
    int templen = snprintf(temp, sizeof temp, "%.*s%s.%s.XXXXXX", (int)dirlen, save_cards_dir, slash, name);
    if (len < 0 || templen < 0 || (size_t)templen >= sizeof temp) {
        output_failed(path, ENAMETOOLONG);
        return 0;
    }
    if (!card.resdata) {
        output_failed(path, ENOMEM);  // the bytes were not kept
        return 0;
    }
    int fd = mkstemp(temp);
    if (fd < 0) {
        output_failed(path, errno);
        return 0;
    }
    // mkstemp makes the file for its owner only; a card file is as readable as any other.
    mode_t mask = umask(0);
    umask(mask);
    if (fchmod(fd, 0666 & ~mask) != 0) {}  // a file that stays private is still whole
    FILE* fp = fdopen(fd, "w");
    int reason = 0;
    if (!fp) {
        reason = errno;
        close(fd);
    } else {
        char when[64];
        time_t now = time(nullptr);
        struct tm utc;
        if (!gmtime_r(&now, &utc) || strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S UTC", &utc) == 0)
            snprintf(when, sizeof when, "unknown");
        write_card_text(fp, card.serial, card.resdata, card.reslen, when);
        errno = 0;
        if (fflush(fp) != 0 || ferror(fp)) reason = errno ? errno : EIO;
        errno = 0;
        if (fclose(fp) != 0 && !reason) reason = errno ? errno : EIO;
    }
    if (!reason && rename(temp, path) != 0) reason = errno;
    if (reason) {
        unlink(temp);
        output_failed(path, reason);
        return 0;
    }
    return 1;
}

short save_loaded_card(short csn) {
    short index = findcard_PNP(csn);
    const CARD_TYP* card = index >= 0 ? usedcard_PNP(index) : nullptr;
    return card ? save_card(*card) : 1;
}

short use_save_cards_dir(const char* dir) {
    struct stat st;
    int reason = stat(dir, &st) != 0 ? errno : !S_ISDIR(st.st_mode) ? ENOTDIR : 0;
    if (reason) {
        fprintf(stderr, "velkor: cannot save cards in '%s': %s\n", dir, strerror(reason));
        return 0;
    }
    save_cards_dir = dir;
    return 1;
}
