// Resource data decoding and dumps of cards and logical devices to outfp.
#ifndef VELKOR_PNP_DUMP_H
#define VELKOR_PNP_DUMP_H

// Prints the card at index (-1: PNP_csn_idx) to outfp: a header line, then each item of its
// resource data between separator lines. Returns 0 when printed; 1 with 1002 queued, printing
// nothing, when index names no record in use.
short dumprcs_PNP(short index);
// Prints the captured registers of logical device devno (negative: PNP_device) of the card at
// index (negative: PNP_csn_idx) to outfp. Returns 0 when printed; 1 with 1002 queued, printing
// nothing, when there is no such card in use or no such device on it.
short dumpdev_PNP(short devno, short index);
// Print the small (parse_shortTAG) or large (parse_longTAG) item at *cursor as one line of
// outfp. Both are in/out: *cursor moves past the item and *left, the bytes stored from *cursor
// on, goes down by as much; after an End item *left is 0. An item cut short by *left shows
// what is there, marked "(cut: ...)"; nothing past *left bytes is read, and with *left at 0 or
// below nothing is printed. Neither can fail.
void parse_shortTAG(unsigned char** cursor, short* left);
void parse_longTAG(unsigned char** cursor, short* left);

#endif
