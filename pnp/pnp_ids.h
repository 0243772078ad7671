// Vendor names: who a 3-letter vendor ID ("CTL") stands for, from the system's PnP ID list, for
// the comments the program writes for people (a --plan script's card lines, a saved card file's
// header). Nothing is printed, and nothing here is an error: a vendor without a name is shown as
// its ID alone.
//
// The list is /usr/share/hwdata/pnp.ids (Debian's hwdata), or the file the environment variable
// VELKOR_PNP_IDS names when it is set and not empty. Each line is "AAA<TAB>Vendor name": three
// upper-case ID letters ('@' to '_', the 32 values a letter of a compressed ID can take; A-Z
// among them), a TAB, and a name, in UTF-8. Anything else (lower-case letters, blanks instead of
// the TAB, a name of blanks alone) is a malformed line and is skipped. Blanks around a name and
// the CR of a CRLF line end are not part of it. A name is kept up to PNP_IDS_NAME_SIZE - 1 bytes,
// cut before a character that does not fit, and made safe to print: each control character (C0,
// DEL or C1) and each byte that is not part of valid UTF-8 becomes '?'; valid UTF-8 is kept.
//
// The list is read once, at the first question, and kept until pnp_ids_forget: the variable is
// looked at then, and a file that changes later is not seen. Only the lines whose text lies whole
// in the first PNP_IDS_READ_MAX bytes of the file, and among them the first PNP_IDS_LINES_MAX, are
// read: the IDs of the lines past those limits have no name. A line's bytes past
// PNP_IDS_LINE_SIZE - 1 are not looked at (a name is kept to far fewer), nor those from a NUL
// byte on. Only a regular file is read (a FIFO is never waited on); a file that is missing or
// cannot be read gives no names. The names are kept in a table indexed by the 15 bits of an ID, a
// slot for every ID there can be, so it is never full; when an ID stands on several lines, the
// first wins. When the memory for the names is not there, the lines read until then keep their
// names and the rest of the file has none.
#ifndef VELKOR_PNP_PNP_IDS_H
#define VELKOR_PNP_PNP_IDS_H

enum {
    PNP_IDS_READ_MAX = 4 * 1024 * 1024,  // bytes of the list read at most
    PNP_IDS_LINES_MAX = 65536,           // lines of the list read at most
    PNP_IDS_LINE_SIZE = 512,             // the start of a line that is looked at, with its NUL
    PNP_IDS_NAME_SIZE = 128              // a name as kept, with its NUL
};

// The name of the vendor of id: a vendor ID or a whole device ID as text ("CTL00e4", "CTL0045" or
// "CTL"), whose first three characters are looked up, lower-case letters as upper-case. Returns
// the name (shorter than PNP_IDS_NAME_SIZE, valid until pnp_ids_forget), or null when the list
// does not name that vendor, there is no list, or id (null too) does not start with three ID
// letters. Reads the list at the first question.
const char* pnp_vendor_name(const char* id);

// Drops what was read, so that the next question reads the list again (and looks at
// VELKOR_PNP_IDS again). Every name pnp_vendor_name returned before is invalid after it.
void pnp_ids_forget();

#endif
