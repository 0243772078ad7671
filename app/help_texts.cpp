// Help of the PnP commands: their summary lines and topics, registered at start-up.
#include "app/help_texts.h"

#include "shell/help.h"

namespace {

// ORDER: registered (and so listed and tried) in this order.
const char* const pnp_summary[] = {
    "isolate <arg>            : perform card isolation",
    "detect <csn-#>           : detect all card information",
    "status [csn-#]           : show status of current cfg",
    "dump [args]              : dump current card",
    "device <action> [values] : set device attribute",
};

struct PNP_TOPIC_TYP {
    const char* name;
    const char* text;
};

const PNP_TOPIC_TYP pnp_topics[] = {
    {"ISOLATE",
     "FMT: ISOLATE [arg]\n"
     "     args are:\n"
     "       CSN       - reset card select number (*default)\n"
     "       RESET     - reset card to factory setting\n"
     "       RESET_DRV - reset card to power-up defaults\n"},
    {"DETECT",
     "FMT: DETECT [csn-#]\n"
     "     - get information from card with csn-#\n"},
    {"STATUS",
     "FMT: STATUS\n"
     "     - display status on all available info\n"},
    {"DUMP",
     "FMT: DUMP [args]\n"
     "     - display information about PNP_device card\n"
     "       args are:\n"
     "         RESOURCES, DEVICE, DEVICE ALL, CARD(*)\n"
     "\n"
     "Examples:\n"
     "  DUMP RESOURCES\n"
     "  DUMP DEVICE\n"
     "  DUMP DEVICE ALL\n"
     "  DUMP CARD\n"},
    {"DEVICE",
     "FMT: DEVICE <action> [values...]\n"
     "     - available 'actions's are:\n"
     "       BEGIN - initiate device configuration\n"
     "       END   - terminate device configuration\n"
     "       SET   - configure a device resource as follows:\n"
     "             <resource> CLEAR\n"
     "               - any keyword below + CLEAR will remove it\n"
     "             MEM  n #1 #2 [b]\n"
     "               - set memory mapped region n (0 - 3)\n"
     "                 #1 = base address bits 23-8\n"
     "                 #2 = length bits 23-7\n"
     "                 b  = kw 8bit(*) or 16bit for mem-type\n"
     "             MEM32 n #1 #2\n"
     "               - set memory mapped usage\n"
     "             IOPORT  # [, # ...]\n"
     "               - set ioport resources\n"
     "             IRQ n  #  [HIGH | LOW(*)]  [LEVEL | EDGE(*)]\n"
     "               - set IRQ n (0 or 1) with #\n"
     "             DMA n  #\n"
     "               - set DMA n (0 or 1) #\n"
     "             ACTIVE or INACTIVE\n"
     "               - activate or deactivate card\n"},
};

}  // namespace

// Registers the PnP commands' summary lines and topics with the help system.
void setup_HLP() {
    for (const char* line : pnp_summary) set_sum_help(line);
    for (const PNP_TOPIC_TYP& t : pnp_topics) set_desc_help(t.name, t.text);
}
