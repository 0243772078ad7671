// DUMP command: the current card's resources and its logical devices, to outfp.
#ifndef VELKOR_APP_DUMP_COMMAND_H
#define VELKOR_APP_DUMP_COMMAND_H

// DUMP [CARD | RESOURCES | DEVICE [ALL]]   keywords by abbreviation; no word means CARD.
// CARD prints the resources and then every logical device, RESOURCES the resources, DEVICE the
// current device, DEVICE ALL every device. The handler takes the line in P with its first token
// read. Returns 0 when the line is not DUMP, else 1 (also when it queued an error): 1002 when
// there is no current card in use (or, for DEVICE, no current device on it), 5003 for another
// word.
short exec_dump();

#endif
