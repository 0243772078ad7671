// Saved cards (--save-cards DIR): every card DETECT or a --plan run loads is written to DIR as a
// card file that --card reads back, so that scripts can be tried on a copy of the machine's cards.
#ifndef VELKOR_APP_SAVE_CARDS_H
#define VELKOR_APP_SAVE_CARDS_H

#include <cstddef>
#include <cstdio>

#include "pnp/state.h"

// The directory cards are saved in, or null (the default: nothing is saved). Set at start-up.
extern const char* save_cards_dir;

// --save-cards DIR: makes dir (not copied: it must outlive the run) save_cards_dir. Returns 1, or
// 0 when dir is not a directory, said on standard error ("velkor: cannot save cards in 'DIR': ...").
short use_save_cards_dir(const char* dir);

// The file name of a card's copy, "VVVVVVV-SSSSSSSS.hex": the vendor ID as devid_PNP gives it
// (a byte outside printable ASCII written as \xHH, as in the file's comments), then the serial number (serial bytes 4 to 7, byte 7 the most significant) in upper-case
// hexadecimal. Written to name (n bytes, cut to fit). Can't fail.
void card_file_name(const unsigned char* serial, char* name, size_t n);

// Writes the card file text of a card to fp: a comment header (its first line "# Plug and Play
// ISA card CTL00e4 (Creative Technology Ltd), serial number ...", the vendor's name as
// pnp_vendor_name gives it, left out when unknown, each byte of it outside printable ASCII as
// \xHH; when is the date and time line's text), the 9 serial bytes on one line, then one line
// per resource item of the reslen bytes of resdata, each labelled, through the End tag and its
// checksum. Bytes that make no whole item (cut or malformed data) go on one last line, so that the
// file holds every byte given; nothing past reslen is read. Write errors are left in fp's error
// flag.
void write_card_text(FILE* fp, const unsigned char* serial, const unsigned char* resdata, long reslen,
                     const char* when);

// Saves card in save_cards_dir (when it is set) under card_file_name: written to a temporary file
// in the directory, then renamed over the file, so that a failure never leaves part of a file. A
// card whose resource data could not be kept (no memory) is not saved. Returns 1 when saved or not
// asked; 0 when the file could not be written, said on standard error as "velkor: DIR/NAME: REASON"
// and counted as lost output (output_lost).
short save_card(const CARD_TYP& card);

// save_card of the record with CSN csn, for whoever has just loaded it (loadcard_PNP returned 1):
// DETECT, and the --plan run for each card it reads. Returns as save_card does; 1 when no record
// has that CSN.
short save_loaded_card(short csn);

#endif
