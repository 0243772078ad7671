// Application hooks: start-up, PnP help registration, clean-up.
#ifndef VELKOR_APP_APPLICATION_H
#define VELKOR_APP_APPLICATION_H

unsigned short init_APP();
void setup_HLP();
void clean_APP();

#endif
