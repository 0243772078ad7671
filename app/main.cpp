// velkor: examine and configure ISA Plug and Play cards.
#include "app/cmdline.h"

int main(int argc, char** argv) { return velkor_main(argc, argv); }
