// Heap blocks of the program's own data, with the test switch that makes one allocation fail.
#include "shell/memory.h"

#include <cstdlib>

namespace {
long countdown;  // allocations until the one that fails; 0: none fails

// 1 when this allocation is the one the switch makes fail.
bool fails_now() { return countdown > 0 && --countdown == 0; }
}  // namespace

void* mem_alloc(size_t n) { return fails_now() ? nullptr : malloc(n); }
void* mem_zalloc(size_t n) { return fails_now() ? nullptr : calloc(n, 1); }
void* mem_realloc(void* p, size_t n) { return fails_now() ? nullptr : realloc(p, n); }

void mem_fail_at(long n) { countdown = n > 0 ? n : 0; }
