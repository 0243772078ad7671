// Help of the PnP commands: their summary lines and topics, registered at start-up.
#ifndef VELKOR_APP_HELP_TEXTS_H
#define VELKOR_APP_HELP_TEXTS_H

// Registers the summary lines and topics of ISOLATE, DETECT, STATUS, DUMP and DEVICE with the
// help system, in that order (the texts are not copied: they are constants). Once at start-up;
// a line or topic past the help system's limit is left out, silently.
void setup_HLP();

#endif
