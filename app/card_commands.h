// Card commands: ISOLATE, DETECT, STATUS, DUMP.
#ifndef VELKOR_APP_CARD_COMMANDS_H
#define VELKOR_APP_CARD_COMMANDS_H

short exec_isolate();
short exec_detect();
short exec_status();
short exec_dump();
short getINT(long* out, unsigned short quiet);

#endif
