// PnP command help (placeholder).
#include "app/application.h"
void setup_HLP() {}
