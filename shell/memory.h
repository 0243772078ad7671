// Heap blocks of the program's own data (lines, frames, symbols, card records), with a switch
// for tests that makes an allocation fail, so that every out-of-memory path can be reached.
#ifndef VELKOR_SHELL_MEMORY_H
#define VELKOR_SHELL_MEMORY_H

#include <cstddef>

// As malloc, calloc(n, 1) and realloc; null when the memory is not there (or the switch below
// says so: realloc then leaves p as it was).
void* mem_alloc(size_t n);
void* mem_zalloc(size_t n);
void* mem_realloc(void* p, size_t n);

// Tests only: the n-th allocation from now fails (1: the next one), and those after it succeed
// again; 0 turns the switch off.
void mem_fail_at(long n);

#endif
