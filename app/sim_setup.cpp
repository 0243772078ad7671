// The cards of the simulated bus, from the command line.
#include "app/sim_setup.h"

#include <cstdio>
#include <vector>

#include "pnp/isolation.h"
#include "sim/bus.h"
#include "sim/card_file.h"

short load_sim_cards(short builtin, const char* const* paths, int npaths, const char* program) {
    sim_reset();
    if (builtin) sim_add_builtin_cards();
    std::vector<unsigned char> bytes(CARD_BYTES_MAX);
    for (int k = 0; k < npaths; k++) {
        const char* path = paths[k];
        char err[512];
        // n is at most CARD_BYTES_MAX (a longer file is refused), so it fits the card's 16-bit length.
        long n = read_card_file(path, bytes.data(), bytes.size(), err, sizeof err);
        if (n < 0) {
            fprintf(stderr, "%s: %s\n", program, err);
            return 0;
        }
        if (n < 9) {
            fprintf(stderr, "%s: %s: %ld bytes: a card needs at least its 9-byte serial identifier\n",
                    program, path, n);
            return 0;
        }
        unsigned char sum = testserial_PNP(bytes.data());
        if (sum != bytes[8])
            fprintf(stderr,
                    "%s: warning: %s: serial identifier checksum is %02X, the file gives %02X: "
                    "the card will fail isolation\n",
                    program, path, sum, bytes[8]);
        if (sim_add_card(bytes.data(), (unsigned short)n) < 0) {
            fprintf(stderr, "%s: %s: no room for another card on the simulated bus\n", program, path);
            return 0;
        }
    }
    return 1;
}
