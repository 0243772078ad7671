// DUMP command: the current card's resources and its logical devices, to outfp.
#ifndef VELKOR_APP_DUMP_COMMAND_H
#define VELKOR_APP_DUMP_COMMAND_H

short exec_dump();

#endif
