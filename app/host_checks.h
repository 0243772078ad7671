// What the host uses, checked before the program touches the cards: the warnings of DEVICE SET
// and the one about the kernel's own ISA PnP driver. All of it speaks on standard error.
#ifndef VELKOR_APP_HOST_CHECKS_H
#define VELKOR_APP_HOST_CHECKS_H

// The directory the host's files are read under for this run: VELKOR_SYSROOT when set, "/" on
// the hardware bus, null on the simulated bus without VELKOR_SYSROOT (no host checks then).
const char* host_checks_root();
// Before the first ISOLATE, DETECT or DEVICE BEGIN of the run: says what the kernel's ISA PnP
// driver manages, and which of its devices have a driver bound, as "velkor: warning: ..." lines.
// Reads the host once a run; later calls do nothing. Can't fail.
void warn_kernel_pnp_once();
// After an isolation (ISOLATE, --plan): when more cards answered than the card table holds,
// says so on standard error, "velkor: warning: more than 17 cards answered; ...". Can't fail.
void warn_cards_beyond_table();

#endif
