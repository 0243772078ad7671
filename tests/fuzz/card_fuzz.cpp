// Fuzz target: arbitrary bytes as a card file, then as a card on the simulated bus (isolated, read,
// dumped, read into the resource model, and saved as --save-cards does, which must read back as the
// same bytes), and as stored resource data handed straight to the decoders.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>

#include "app/save_cards.h"
#include "harness.h"
#include "input/input_stack.h"
#include "pnp/dump.h"
#include "pnp/isolation.h"
#include "pnp/resource_model.h"
#include "pnp/resources.h"
#include "pnp/state.h"
#include "sim/bus.h"
#include "sim/card_file.h"

namespace {

void dump_card(short index) {
    if (dumprcs_PNP(index) == 0)
        for (short d = 0; d < PNP_cards[index].ndevs; d++) dumpdev_PNP(d, index);
    static RES_CARD model;
    const CARD_TYP& card = PNP_cards[index];
    res_decode(card.resdata, card.resdata ? card.reslen : 0, &model);
    if (model.ndevices > RES_MAX_DEVICES || (card.devs && model.ndevices > card.ndevs)) abort();
    for (short d = 0; d < model.ndevices; d++)
        if (model.devices[d].nfunctions > RES_MAX_FUNCTIONS) abort();
}

// The card saved as --save-cards saves it, read back by --card's reader: the same bytes, always.
void save_and_reload(short index) {
    const CARD_TYP& card = PNP_cards[index];
    if (!card.resdata) return;
    std::string dir = std::string(fuzz_workdir()) + "/saved";
    mkdir(dir.c_str(), 0700);
    save_cards_dir = dir.c_str();
    short saved = save_card(card);
    save_cards_dir = nullptr;
    if (!saved) abort();
    char name[64];
    card_file_name(card.serial, name, sizeof name);
    std::string path = dir + "/" + name;
    static unsigned char bytes[CARD_BYTES_MAX];
    char err[256];
    long n = read_card_file(path.c_str(), bytes, sizeof bytes, err, sizeof err);
    remove(path.c_str());
    if (n != 9 + card.reslen || memcmp(bytes, card.serial, 9) != 0 ||
        memcmp(bytes + 9, card.resdata, (size_t)card.reslen) != 0)
        abort();
}

// The card reader, then the protocol and the dumps on a bus holding that card.
void as_card_file(const uint8_t* data, size_t size) {
    std::string path = std::string(fuzz_workdir()) + "/card.hex";
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return;
    fwrite(data, 1, size, f);
    fclose(f);
    static unsigned char bytes[CARD_BYTES_MAX];
    char err[256];
    long n = read_card_file(path.c_str(), bytes, sizeof bytes, err, sizeof err);
    if (n < 0) return;
    if (n < 9 || n > CARD_BYTES_MAX) abort();  // the reader promises a card's worth of bytes
    sim_reset();
    sim_add_card(bytes, (unsigned short)n);
    init_PNP();
    defaultport_PNP(0x203);
    verbose = (short)(bytes[0] & 1);
    if (isolate_PNP(4)) {
        loadcard_PNP(1);
        for (short i = 0; i < PNP_cards_len; i++) {
            dump_card(i);
            save_and_reload(i);
        }
    }
    clean_PNP();
}

// The decoder alone, on resource data that did not come through the card reader.
void as_resource_data(const uint8_t* data, size_t size) {
    init_PNP();
    if (size > 0x7FFF) size = 0x7FFF;
    CARD_TYP& card = PNP_cards[0];
    card.csn = 1;
    card.resdata = (unsigned char*)malloc(size ? size : 1);
    if (!card.resdata) return;
    if (size) memcpy(card.resdata, data, size);
    card.reslen = (short)size;
    PNP_cards_len = 1;
    verbose = (short)(size & 1);
    dump_card(0);
    clean_PNP();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_reset_program();
    as_card_file(data, size);
    as_resource_data(data, size);
    fuzz_clean_program();
    return 0;
}
