// Card isolation: initiation key, serial isolation and CSN assignment.
#ifndef VELKOR_PNP_ISOLATION_H
#define VELKOR_PNP_ISOLATION_H

extern const unsigned char initdata[32];

void initkey_PNP();
short isolate_PNP(short mode);
short discover_PNP();
unsigned char testserial_PNP(const unsigned char* serial);

#endif
