// Resource data decoding and dumps of cards and logical devices to outfp.
#ifndef VELKOR_PNP_DUMP_H
#define VELKOR_PNP_DUMP_H

short dumprcs_PNP(short index);
short dumpdev_PNP(short devno, short index);
void parse_shortTAG(unsigned char** cursor, short* left);
void parse_longTAG(unsigned char** cursor, short* left);

#endif
