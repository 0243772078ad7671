// Card isolation: initiation key, serial isolation and CSN assignment.
#ifndef VELKOR_PNP_ISOLATION_H
#define VELKOR_PNP_ISOLATION_H

// The initiation key of the Plug and Play ISA standard, 0x6A first.
extern const unsigned char initdata[32];

// Sends the initiation key to ADDRESS (two zero writes reset the cards' detectors, then the 32
// bytes, 250 microseconds apart): every card in Wait for Key goes to Sleep. Can't fail.
void initkey_PNP();
// Sends the key, writes mode to Config Control (PNP_CONFIG_RESET_CSN, PNP_CONFIG_RESET, or all
// three bits), then isolates every card without a CSN: READ_DATA walks up from 0x203 in steps
// of 8 until a port where cards answer, and each card isolated there gets the next CSN and a
// record at the end of the table, while the table has room; PNP_cards_isolated counts them.
// Every card ends in Wait for Key.
// Returns 1 when a card was isolated (PNP_port is then the port they answered at), 0 when none
// was (PNP_port is past the range, or 0x203 when the table was full). Queues nothing. When this
// isolation filled the table, one more attempt at PNP_port (which numbers no card and prints
// nothing) sets PNP_cards_beyond when a card still answers.
short isolate_PNP(short mode);
// 1 when the last isolate_PNP filled the card table and a card was still answering after it:
// that card and any behind it got no CSN. 0 otherwise.
extern short PNP_cards_beyond;
// One isolation attempt at PNP_port, with the cards out of Wait for Key. Returns 1 when a card
// sent a valid serial identifier: it gets CSN PNP_last_csn++ and the record at PNP_cards_len,
// which the caller makes sure is free. Returns 0 when none did; with verbose a "CHK:" line of
// what was read goes to standard output.
short discover_PNP();
// The checksum the standard gives bytes 0..7 of a serial identifier (byte 8 of a valid one):
// eight zero bytes give 0xB5. Can't fail.
unsigned char testserial_PNP(const unsigned char* serial);

#endif
