// The x86 port instructions the port trap performs for a traced program.
#include "trap/port_insn.h"

static short legacy_prefix(unsigned char b) {
    switch (b) {
    case 0x26:
    case 0x2E:
    case 0x36:
    case 0x3E:
    case 0x64:
    case 0x65:  // segments
    case 0x66:
    case 0x67:
    case 0xF0:
    case 0xF2:
    case 0xF3: return 1;
    default: return 0;
    }
}

short decode_port_insn(const unsigned char* code, size_t n, PORT_INSN* insn) {
    *insn = PORT_INSN{INSN_OTHER, 0, 0, 0, 0};
    if (n > INSN_MAX_LEN) n = INSN_MAX_LEN;
    size_t i = 0;
    short opsize16 = 0;
    while (i < n && legacy_prefix(code[i])) {
        if (code[i] == 0x66) opsize16 = 1;
        i++;
    }
    if (i < n && (code[i] & 0xF0) == 0x40) i++;  // REX: no meaning for a port instruction
    if (i >= n) return INSN_OTHER;
    unsigned char op = code[i++];
    short wide = op & 1;
    switch (op) {
    case 0xE4:
    case 0xE5:
    case 0xE6:
    case 0xE7:
        if (i >= n) return INSN_OTHER;
        insn->immediate = 1;
        insn->imm8 = code[i++];
        insn->kind = (op & 2) ? INSN_OUT : INSN_IN;
        break;
    case 0xEC:
    case 0xED:
    case 0xEE:
    case 0xEF: insn->kind = (op & 2) ? INSN_OUT : INSN_IN; break;
    case 0x6C:
    case 0x6D:
    case 0x6E:
    case 0x6F:  // ins / outs
        insn->kind = INSN_UNKNOWN;
        insn->length = (short)i;
        return insn->kind;
    default: return INSN_OTHER;
    }
    insn->width = wide ? (opsize16 ? 2 : 4) : 1;
    insn->length = (short)i;
    if (insn->width != 1) insn->kind = INSN_UNKNOWN;
    return insn->kind;
}
