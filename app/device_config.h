// Device configuration commands: DEVICE BEGIN/SET/END and TEST.
#ifndef VELKOR_APP_DEVICE_CONFIG_H
#define VELKOR_APP_DEVICE_CONFIG_H

short exec_device();
void end_DEVICE();
short valid_DEVICE();
void writeINTU2(short reg, unsigned short value);
short test_USR();
// Ends configuration mode without bus traffic (ISOLATE, DETECT and TEST put every card back in
// Wait for Key themselves).
void drop_DEVICE();

#endif
