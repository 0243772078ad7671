// The x86 port instructions the port trap performs for a traced program.
#ifndef VELKOR_TESTS_TRAP_PORT_INSN_H
#define VELKOR_TESTS_TRAP_PORT_INSN_H

#include <cstddef>

enum {
    INSN_OTHER = 0,    // not a port instruction: the fault is the program's own
    INSN_IN = 1,       // in al, imm8 / in al, dx
    INSN_OUT = 2,      // out imm8, al / out dx, al
    INSN_UNKNOWN = 3,  // a port instruction the trap does not perform (wider than a byte, string)
    INSN_MAX_LEN = 15  // the longest x86 instruction
};

struct PORT_INSN {
    short kind;          // INSN_*
    short length;        // bytes, prefixes included (0 for INSN_OTHER)
    short immediate;     // 1: the port is imm8 below; 0: the port is in DX
    unsigned char imm8;  // the port of the immediate forms
    short width;         // bytes moved: 1, 2 or 4 (0 for the string forms)
};

// Decodes the instruction in code (n bytes readable, at most INSN_MAX_LEN looked at): legacy
// prefixes and a REX prefix, then the opcode. Returns insn->kind.
short decode_port_insn(const unsigned char* code, size_t n, PORT_INSN* insn);

#endif
