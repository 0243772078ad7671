// Help of the PnP commands: their summary lines and topics, registered at start-up.
#ifndef VELKOR_APP_HELP_TEXTS_H
#define VELKOR_APP_HELP_TEXTS_H

void setup_HLP();

#endif
