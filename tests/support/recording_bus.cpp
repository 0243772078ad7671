// Test support: the simulated bus with a port log.
#include "support/recording_bus.h"

#include <cstdio>
#include <sstream>
#include <utility>
#include <vector>

#include "pnp/isolation.h"
#include "pnp/state.h"
#include "sim/bus.h"

int refuse_permit, refuse_privilege;

namespace {
std::string log_text;

void log_line(const char* kind, unsigned port, unsigned value, const char* format) {
    char line[48];
    snprintf(line, sizeof line, format, kind, port, value);
    log_text += line;
}

int rec_permit(unsigned short port, int on) {
    log_line("permit", port, (unsigned)on, "%s %04X %u\n");
    return refuse_permit ? -1 : sim_bus.permit(port, on);
}
int rec_privilege(int level) {
    log_text += "privilege " + std::to_string(level) + "\n";
    return refuse_privilege ? -1 : sim_bus.privilege(level);
}
void rec_out(unsigned short port, unsigned char value) {
    log_line("out", port, value, "%s %04X %02X\n");
    sim_bus.out(port, value);
}
unsigned char rec_in(unsigned short port) {
    unsigned char value = sim_bus.in(port);
    log_line("in", port, value, "%s %04X %02X\n");
    return value;
}
void rec_delay(long usec) {
    log_text += "delay " + std::to_string(usec) + "\n";
    sim_bus.delay(usec);
}
}  // namespace

const PORT_BUS recording_bus = {"recording", rec_permit, rec_privilege, rec_out, rec_in, rec_delay};

std::string bus_log() { return log_text; }
void clear_bus_log() { log_text.clear(); }

std::string register_writes(const std::string& log) {
    std::vector<std::pair<unsigned, unsigned>> writes;
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);) {
        unsigned port, value;
        if (sscanf(line.c_str(), "out %x %x", &port, &value) == 2) writes.push_back({port, value});
    }
    std::string s;
    char buf[16];
    size_t i = 0;
    while (i < writes.size()) {
        if (i + 34 <= writes.size() && writes[i].first == PNP_ADDRESS) {
            bool key = writes[i].second == 0 && writes[i + 1].second == 0;
            for (size_t k = 0; key && k < 34; k++)
                key =
                    writes[i + k].first == PNP_ADDRESS && (k < 2 || writes[i + k].second == initdata[k - 2]);
            if (key) {
                s += s.empty() ? "key" : " key";
                i += 34;
                continue;
            }
        }
        if (writes[i].first == PNP_ADDRESS && i + 1 < writes.size() &&
            writes[i + 1].first == PNP_WRITE_DATA) {
            snprintf(buf, sizeof buf, "%02X=%02X", writes[i].second, writes[i + 1].second);
            i += 2;
        } else {
            snprintf(buf, sizeof buf, "%c%02X", writes[i].first == PNP_ADDRESS ? 'a' : 'd', writes[i].second);
            i += 1;
        }
        if (!s.empty()) s += ' ';
        s += buf;
    }
    return s;
}

std::string take_register_writes() {
    std::string s = register_writes(log_text);
    log_text.clear();
    return s;
}
