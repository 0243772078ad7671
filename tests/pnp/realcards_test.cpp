// The dumps of six real cards on one simulated bus: isolated, read and counted.
#include "support/program_fixture.h"
#include "support/sim_cards.h"
#include "pnp/resources.h"
#include "sim/card_file.h"

#include <map>

namespace {

class RealCards : public ProgramTest {};

TEST_F(RealCards, AllSixOnOneBus) {
    const std::string dir = realcards_dir();
    // Vendor ID and number of Logical Device ID items of each dump.
    const std::map<std::string, short> devices = {{"azt1008-aztech-azt2320.hex", 4},
                                                  {"csc4232-crystal-cs4232.hex", 4},
                                                  {"ctl00e4-creative-sb-awe64-ct4520.hex", 3},
                                                  {"dlk2201-dlink-de220p.hex", 1},
                                                  {"ess0968-ess-es968.hex", 3},
                                                  {"rtl8019-realtek-rtl8019as.hex", 1}};
    std::map<std::string, short> want;
    for (const auto& d : devices) {
        static unsigned char bytes[CARD_BYTES_MAX];
        char err[256];
        long n = read_card_file((dir + "/" + d.first).c_str(), bytes, sizeof bytes, err, sizeof err);
        ASSERT_GT(n, 9) << err;
        EXPECT_EQ(testserial_PNP(bytes), bytes[8]) << d.first;
        ASSERT_GE(sim_add_card(bytes, (unsigned short)n), 0);
        want[devid_PNP(bytes)] = d.second;
    }
    ASSERT_EQ(isolate_PNP(4), 1);
    ASSERT_EQ(PNP_cards_len, 6);
    std::map<std::string, short> got;
    for (short csn = 1; csn <= 6; csn++) {
        ASSERT_EQ(loadcard_PNP(csn), 1) << csn;
        const CARD_TYP& r = PNP_cards[csn - 1];
        EXPECT_EQ(r.csn, csn);
        got[r.vendor] = r.ndevs;
        unsigned char sum = 0;
        for (short i = 0; i < r.reslen; i++) sum += r.resdata[i];
        EXPECT_EQ(sum, 0) << r.vendor;
        EXPECT_EQ(r.resdata[r.reslen - 2], 0x79) << r.vendor;
        for (short k = 0; k < r.ndevs; k++) EXPECT_EQ(r.devs[k].number, k);
    }
    EXPECT_EQ(got, want);
}

}  // namespace
