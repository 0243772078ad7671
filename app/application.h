// Application hooks: start-up and clean-up.
#ifndef VELKOR_APP_APPLICATION_H
#define VELKOR_APP_APPLICATION_H

unsigned short init_APP();
void clean_APP();

#endif
