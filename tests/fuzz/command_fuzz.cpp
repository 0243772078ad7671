// Fuzz target: arbitrary bytes run as a command file on the simulated bus with the built-in cards.
#include <cstdint>
#include <cstdio>
#include <string>

#include "app/application.h"
#include "harness.h"
#include "input/input_stack.h"
#include "app/command_loop.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_reset_program();
    std::string path = std::string(fuzz_workdir()) + "/input.pnp";
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return 0;
    fwrite(data, 1, size, f);
    fclose(f);
    input.push(path.c_str(), nullptr);
    if (init_APP()) {
        load_localdefs();
        loop_turn_budget = 5000;  // endless loops are the script's business, not a finding
        run_loop();
        loop_turn_budget = -1;
    }
    fuzz_clean_program();
    return 0;
}
