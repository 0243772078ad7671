// Device configuration (placeholder).
#include "app/device_config.h"
short exec_device() { return 0; }
short test_USR() { return 0; }
void end_DEVICE() {}
void drop_DEVICE() {}
