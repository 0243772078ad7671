// The Plug and Play ISA register map and its three ports, named as the public Plug and Play ISA
// standard names them: one list for the protocol, the device configuration and the simulated
// card. A register that spans several addresses holds its high byte at the lowest.
#ifndef VELKOR_PNP_REGISTERS_H
#define VELKOR_PNP_REGISTERS_H

// The ports. ADDRESS and WRITE_DATA are fixed; READ_DATA is wherever Set RD_DATA Port puts it,
// in 0x203..0x3FF with bits 1..0 set.
enum PNP_PORT_NUMBER {
    PNP_ADDRESS = 0x279,
    PNP_WRITE_DATA = 0xA79,
    PNP_READ_DATA_FIRST = 0x203,
    PNP_READ_DATA_LAST = 0x3FF,
};

// The registers. 0x00..0x2F belong to the card, 0x30..0xFE to the logical device that Logical
// Device Number selects.
enum PNP_REGISTER {
    PNP_SET_RD_DATA = 0x00,  // READ_DATA port bits 9..2
    PNP_SERIAL_ISOLATION = 0x01,
    PNP_CONFIG_CONTROL = 0x02,
    PNP_WAKE = 0x03,  // Wake[CSN]
    PNP_RESOURCE_DATA = 0x04,
    PNP_STATUS = 0x05,
    PNP_CARD_SELECT_NUMBER = 0x06,
    PNP_LOGICAL_DEVICE_NUMBER = 0x07,
    PNP_CARD_VENDOR_FIRST = 0x20,  // card-level vendor-defined registers
    PNP_CARD_VENDOR_LAST = 0x2F,
    PNP_ACTIVATE = 0x30,
    PNP_IO_RANGE_CHECK = 0x31,
    PNP_MEM_FIRST = 0x40,            // 24-bit memory descriptors: 0x40-0x44 ... 0x58-0x5C
    PNP_IO_FIRST = 0x60,             // I/O port bases 0x60/0x61 ... 0x6E/0x6F
    PNP_IRQ_FIRST = 0x70,            // interrupt level and type selects 0x70/0x71, 0x72/0x73
    PNP_DMA_FIRST = 0x74,            // DMA channel selects 0x74, 0x75
    PNP_MEM32_FIRST = 0x76,          // 32-bit memory descriptors: 0x76-0x7E, 0x80-0x88, ...
    PNP_DEVICE_VENDOR_FIRST = 0xF0,  // logical-device vendor-defined registers
    PNP_DEVICE_VENDOR_LAST = 0xFE,
};

// How many descriptors of each kind a logical device has, and vendor registers of each level.
enum PNP_DESCRIPTOR_COUNT {
    PNP_MEM_DESCS = 4,
    PNP_MEM32_DESCS = 4,
    PNP_IO_DESCS = 8,
    PNP_IRQ_DESCS = 2,
    PNP_DMA_DESCS = 2,
    PNP_CARD_VENDOR_REGS = PNP_CARD_VENDOR_LAST - PNP_CARD_VENDOR_FIRST + 1,
    PNP_DEVICE_VENDOR_REGS = PNP_DEVICE_VENDOR_LAST - PNP_DEVICE_VENDOR_FIRST + 1,
};

// The registers of descriptor n (from 0, below the count above). Each is the first of its field:
// a 24-bit memory base or limit takes two registers (address bits 23..8), a 32-bit one four, an
// I/O base two.
constexpr short pnp_mem_base(short n) { return (short)(PNP_MEM_FIRST + 8 * n); }
constexpr short pnp_mem_control(short n) { return (short)(pnp_mem_base(n) + 2); }
constexpr short pnp_mem_limit(short n) { return (short)(pnp_mem_base(n) + 3); }
// Descriptor 0 follows the DMA selects; 1..3 start at 0x80, 0x90 and 0xA0.
constexpr short pnp_mem32_base(short n) { return (short)(n == 0 ? PNP_MEM32_FIRST : 0x70 + 16 * n); }
constexpr short pnp_mem32_control(short n) { return (short)(pnp_mem32_base(n) + 4); }
constexpr short pnp_mem32_limit(short n) { return (short)(pnp_mem32_base(n) + 5); }
constexpr short pnp_io_base(short n) { return (short)(PNP_IO_FIRST + 2 * n); }
constexpr short pnp_irq_level(short n) { return (short)(PNP_IRQ_FIRST + 2 * n); }
constexpr short pnp_irq_type(short n) { return (short)(pnp_irq_level(n) + 1); }
constexpr short pnp_dma_channel(short n) { return (short)(PNP_DMA_FIRST + n); }

// Set RD_DATA Port takes bits 9..2 of the port: 0x203 is sent as 0x80, and a card answers at
// (value << 2) | 3.
constexpr unsigned char pnp_rd_data_value(unsigned short port) { return (unsigned char)(port >> 2); }
constexpr unsigned short pnp_rd_data_port(unsigned char value) { return (unsigned short)(value << 2 | 3); }

// Values and bits of the registers.
enum PNP_REGISTER_VALUE {
    PNP_CONFIG_RESET = 0x01,         // Config Control: every logical device to power-up values
    PNP_CONFIG_WAIT_FOR_KEY = 0x02,  // Config Control: every card back to Wait for Key
    PNP_CONFIG_RESET_CSN = 0x04,     // Config Control: every CSN to 0
    PNP_STATUS_READY = 0x01,         // Status: a Resource Data byte is ready
    PNP_ACTIVATE_ON = 0x01,          // Activate: the device decodes its resources
    PNP_RANGE_CHECK_PATTERN = 0x01,  // I/O Range Check: answer 0x55 (set) or 0xAA
    PNP_RANGE_CHECK_ENABLE = 0x02,   // I/O Range Check: answer reads of the device's ports
    PNP_MEM_UPPER_LIMIT = 0x01,      // memory control: the limit is an upper limit, not a length
    PNP_MEM_16BIT = 0x02,            // 24-bit memory control: 16-bit memory
    PNP_MEM32_WIDTH = 0x06,          // 32-bit memory control bits 2..1: 00 8-bit,
    PNP_MEM32_16BIT = 0x02,          //   01 16-bit,
    PNP_MEM32_32BIT = 0x06,          //   11 32-bit
    PNP_IRQ_LEVEL_TRIGGERED = 0x01,  // interrupt type: level (set) or edge
    PNP_IRQ_HIGH = 0x02,             // interrupt type: active high (set) or low
    PNP_IRQ_LEVELS = 16,             // interrupt level select: the ISA IRQs 0..15 (0: none),
    PNP_IRQ_LEVEL_MASK = 0x0F,       //   in bits 3..0
    PNP_DMA_CHANNELS = 8,            // DMA channel select: the ISA channels 0..7,
    PNP_DMA_CHANNEL_MASK = 0x07,     //   in bits 2..0
    PNP_DMA_NONE = 4,                // DMA channel select: no channel
    PNP_ISOLATION_ONE_FIRST = 0x55,  // Serial Isolation: a 1 bit reads 0x55 then 0xAA
    PNP_ISOLATION_ONE_SECOND = 0xAA,
};

#endif
