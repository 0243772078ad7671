// The program: command line, start-up, the loop and clean-up.
#ifndef VELKOR_APP_CMDLINE_H
#define VELKOR_APP_CMDLINE_H

int velkor_main(int argc, char** argv);

#endif
