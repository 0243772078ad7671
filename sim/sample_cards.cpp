// The built-in sample cards of the simulated bus: a sound card with three logical devices and a
// modem. Their vendor IDs are invented; both checksums of each card are correct.
#include "sim/bus.h"

// Sound card QXS3201: audio, game port and a wavetable synthesizer.
static const unsigned char sound_card[] = {
    0x47, 0x13, 0x32, 0x01,  // vendor ID QXS3201
    0x07, 0x1C, 0xA5, 0x00,  // serial number 00A51C07
    0x7D,                    // serial identifier checksum
    0x0A, 0x10, 0x10,        // Plug and Play version 1.0, vendor version 1.0
    0x82, 0x13, 0x00, 'Q', 'X', ' ', 'S', 'o', 'u', 'n', 'd', 'W', 'a', 'v', 'e', ' ', '3', '2', ' ', 'P',
    'n', 'P',  // ANSI identifier "QX SoundWave 32 PnP"
    // Logical device 0: audio
    0x15, 0x47, 0x13, 0x00, 0x01, 0x00,                                       // logical device ID QXS0001
    0x82, 0x05, 0x00, 'A', 'u', 'd', 'i', 'o', 0x1C, 0x41, 0xD0, 0xB0, 0x03,  // compatible device ID PNPB003
    0x31, 0x00,                                      // start dependent function, preferred
    0x47, 0x01, 0x20, 0x02, 0x20, 0x02, 0x01, 0x10,  // I/O 220, 16 ports
    0x47, 0x01, 0x30, 0x03, 0x30, 0x03, 0x01, 0x02,  // I/O 330, 2 ports (MIDI)
    0x47, 0x01, 0x88, 0x03, 0x88, 0x03, 0x01, 0x04,  // I/O 388, 4 ports (FM)
    0x22, 0x20, 0x00,                                // IRQ 5
    0x2A, 0x02, 0x08,                                // DMA 1, 8-bit
    0x2A, 0x20, 0x16,                                // DMA 5, 16-bit
    0x31, 0x01,                                      // start dependent function, acceptable
    0x47, 0x01, 0x20, 0x02, 0x80, 0x02, 0x20, 0x10,  // I/O 220-280 step 20, 16 ports
    0x47, 0x01, 0x00, 0x03, 0x30, 0x03, 0x30, 0x02,  // I/O 300-330 step 30, 2 ports
    0x47, 0x01, 0x88, 0x03, 0x88, 0x03, 0x01, 0x04,  // I/O 388, 4 ports
    0x22, 0xA0, 0x06,                                // IRQ 5, 7, 9, 10
    0x2A, 0x0B, 0x08,                                // DMA 0, 1, 3
    0x2A, 0xE0, 0x16,                                // DMA 5, 6, 7
    0x38,                                            // end dependent functions
    // Logical device 1: game port
    0x15, 0x47, 0x13, 0x00, 0x02, 0x00,  // logical device ID QXS0002
    0x82, 0x09, 0x00, 'G', 'a', 'm', 'e', ' ', 'p', 'o', 'r', 't', 0x1C, 0x41, 0xD0, 0xB0,
    0x2F,                                                        // compatible device ID PNPB02F
    0x31, 0x00, 0x47, 0x01, 0x00, 0x02, 0x00, 0x02, 0x01, 0x08,  // I/O 200, 8 ports
    0x31, 0x01, 0x47, 0x01, 0x00, 0x02, 0x08, 0x02, 0x08, 0x08,  // I/O 200-208 step 8, 8 ports
    0x38,
    // Logical device 2: wavetable synthesizer with a sample memory window
    0x15, 0x47, 0x13, 0x00, 0x03, 0x00,  // logical device ID QXS0003
    0x82, 0x09, 0x00, 'W', 'a', 'v', 'e', 'S', 'y', 'n', 't', 'h', 0x47, 0x01, 0x20, 0x06, 0x80, 0x06, 0x20,
    0x04,  // I/O 620-680 step 20, 4 ports
    0x81, 0x09, 0x00, 0x15, 0x00, 0xC8, 0x00, 0xDC, 0x00, 0x40, 0x40, 0x00,
    // memory 0xC80000-0xDC0000 (the fields hold address bits 23..8), 16 KB, upper-limit decode
    0x79, 0x35,  // end tag, checksum
};

// Modem QXM3360: one logical device on the usual serial port addresses.
static const unsigned char modem_card[] = {
    0x47, 0x0D, 0x33, 0x60,  // vendor ID QXM3360
    0xA2, 0xE9, 0x03, 0x00,  // serial number 0003E9A2
    0x9C,                    // serial identifier checksum
    0x0A, 0x10, 0x20,        // Plug and Play version 1.0, vendor version 2.0
    0x82, 0x13, 0x00, 'Q',  'X',  ' ',  'V',  'o',  'i',  'c',  'e',  ' ',  'M',  'o',
    'd',  'e',  'm',  ' ',  '3',  '3',  '.',  '6',  // ANSI identifier "QX Voice Modem 33.6"
    0x15, 0x47, 0x0D, 0x03, 0x36, 0x00,             // logical device ID QXM0336
    0x82, 0x05, 0x00, 'M',  'o',  'd',  'e',  'm',  0x1C, 0x41, 0xD0, 0xC1, 0x07,  // compatible device ID PNPC107
    0x30,                                                                          // start dependent function
    0x47, 0x00, 0xE8, 0x03, 0xE8, 0x03, 0x01, 0x08,                                // I/O 3E8 (COM3)
    0x22, 0x10, 0x00,                                                              // IRQ 4
    0x30, 0x47, 0x00, 0xE8, 0x02, 0xE8, 0x02, 0x01, 0x08,                          // I/O 2E8 (COM4)
    0x22, 0x08, 0x00,                                                              // IRQ 3
    0x30, 0x47, 0x00, 0xF8, 0x03, 0xF8, 0x03, 0x01, 0x08,                          // I/O 3F8 (COM1)
    0x22, 0x10, 0x00,                                                              // IRQ 4
    0x30, 0x47, 0x00, 0xF8, 0x02, 0xF8, 0x02, 0x01, 0x08,                          // I/O 2F8 (COM2)
    0x22, 0x08, 0x00,                                                              // IRQ 3
    0x31, 0x02,                                      // start dependent function, sub-optimal
    0x47, 0x00, 0x00, 0x01, 0xF8, 0x03, 0x08, 0x08,  // I/O 100-3F8 step 8
    0x22, 0xB8, 0x9E,                                // IRQ 3, 4, 5, 7, 9, 10, 11, 12, 15
    0x38,                                            // end dependent functions
    0x79, 0x6B,                                      // end tag, checksum
};

void sim_add_builtin_cards() {
    sim_add_card(sound_card, sizeof sound_card);
    sim_add_card(modem_card, sizeof modem_card);
}
