// Help system: command summary, built-in topics and the registry of application topics.
#ifndef VELKOR_SHELL_HELP_H
#define VELKOR_SHELL_HELP_H

// Appends a summary line; 1, or 0 when 18 are registered. The text is not copied.
short set_sum_help(const char* line);
// Appends a topic; 1, or 0 when 18 are registered. The texts are not copied.
short set_desc_help(const char* name, const char* text);
// Prints the command summary, after "Invalid command '%s'!\n" when bad is not null.
void summary(const char* bad);
// HELP [topic]
short exec_help();
// The name of topic k (from 0) that HELP takes: the built-in topics, then the registered ones,
// in the order they are tried; null past the last.
const char* help_topic(short k);
// Forgets the registered lines and topics (tests only).
void help_reset();

#endif
