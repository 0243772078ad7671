// Lost output: the streams the program writes its results to are watched, so that a write,
// flush or close that fails is said once on standard error and the run ends with status 1.
#ifndef VELKOR_SHELL_LOST_OUTPUT_H
#define VELKOR_SHELL_LOST_OUTPUT_H

#include <cstdio>

// At most this many streams are watched at once (standard output, the report file, the trace).
enum { WATCH_MAX = 8 };

// Watches fp under name (copied; cut at 255 characters) until close_watched_output. Standard output is watched from the start as "standard output".
// Can't fail: a stream beyond WATCH_MAX is not watched.
void watch_output(FILE* fp, const char* name);
// Flushes every watched stream that holds unwritten data and says each stream's first failure
// on standard error ("velkor: NAME: REASON"); a closed pipe is not said (the run is ending).
// Returns 1 when all is written, 0 when some output was lost.
short check_outputs();
// Checks fp as check_outputs does, then closes it; a failed close counts as lost output.
// fp is no longer watched. Returns 1, or 0 when output of it was lost.
short close_watched_output(FILE* fp);
// Output that could not be made at all (a file not created, not renamed into place): says
// "velkor: NAME: REASON" on standard error (reason an errno value) and marks the run as having
// lost output. Can't fail.
void output_failed(const char* name, int reason);
// 1 once any output of this run was lost: the run then ends with exit status 1.
short output_lost();
// Makes sure descriptors 0, 1 and 2 are open, before the program opens any file: each closed one
// is opened on /dev/null (0 for reading, 1 and 2 for writing), so that no file opened later
// (a trace, a report) becomes standard output or standard error and gets their text. Returns 1,
// or 0 when /dev/null cannot be opened (the run cannot start safely).
short open_standard_descriptors();
// Forgets every stream but standard output and the lost mark (tests only).
void lost_output_reset();

#endif
