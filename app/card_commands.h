// Card commands: ISOLATE, DETECT, STATUS.
#ifndef VELKOR_APP_CARD_COMMANDS_H
#define VELKOR_APP_CARD_COMMANDS_H

short exec_isolate();
short exec_detect();
short exec_status();
short getINT(long* out, unsigned short quiet);

#endif
