// Card resource reading and register capture.
#ifndef VELKOR_PNP_RESOURCES_H
#define VELKOR_PNP_RESOURCES_H

enum { RESBUF_SIZE = 4096 };

short loadcard_PNP(short csn);
short getresdata_PNP(unsigned short& ok);
unsigned short readINTU2(short reg);

#endif
