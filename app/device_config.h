// Device configuration commands: DEVICE BEGIN/SET/END and TEST.
#ifndef VELKOR_APP_DEVICE_CONFIG_H
#define VELKOR_APP_DEVICE_CONFIG_H

struct CARD_TYP;
struct DEVICE_TYP;

short exec_device();
void exec_set();
void beg_DEVICE();
void end_DEVICE();
short valid_DEVICE();
void writeINTU2(short reg, unsigned short value);
void mem_USR();
void mem32_USR();
void ioport_USR();
void irq_USR();
void dma_USR();
void device_USR(unsigned short on);
short test_USR();
// Ends configuration mode without bus traffic (ISOLATE, DETECT and TEST put every card back in
// Wait for Key themselves).
void drop_DEVICE();

#endif
