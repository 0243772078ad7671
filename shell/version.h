// The program's version: the banner, --version, saved card files and --plan scripts all take it
// from here.
#ifndef VELKOR_SHELL_VERSION_H
#define VELKOR_SHELL_VERSION_H

#define VELKOR_VERSION "2.10"

#endif
