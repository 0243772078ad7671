// Shared set-up of the fuzz targets: a fresh program state around every input.
#ifndef VELKOR_TESTS_FUZZ_HARNESS_H
#define VELKOR_TESTS_FUZZ_HARNESS_H

#include <cstddef>
#include <cstdint>

// Resets every subsystem to its start-up state on the simulated bus with the built-in cards.
void fuzz_reset_program();
// Releases what one run left behind (files, symbols, card data).
void fuzz_clean_program();
// A private temporary directory, made once.
const char* fuzz_workdir();

#endif
