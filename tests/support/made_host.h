// Test support for the host readers: the ready machines of tests/host, and roots of files made
// on the spot.
#ifndef VELKOR_TESTS_SUPPORT_MADE_HOST_H
#define VELKOR_TESTS_SUPPORT_MADE_HOST_H

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "pnp/host_resources.h"
#include "support/scratch_dir.h"

// The root of the machine tests/host/NAME.
inline std::string machine(const char* name) {
    return std::string(VELKOR_SOURCE_DIR) + "/tests/host/" + name;
}

// A root of made files, removed after the test. The tables of what the host's files said are
// dropped before and after, as the directory's name may come again.
class MadeHost : public ::testing::Test {
protected:
    SCRATCH_DIR scratch{"host"};
    std::string root = scratch.path;
    MadeHost() { host_forget(); }
    ~MadeHost() override { host_forget(); }
    void write(const std::string& rel, const std::string& text) {
        std::filesystem::path p = root + "/" + rel;
        std::filesystem::create_directories(p.parent_path());
        std::ofstream(p) << text;
    }
    void link(const std::string& target, const std::string& rel) {
        std::filesystem::create_directories(std::filesystem::path(root + "/" + rel).parent_path());
        std::filesystem::create_directory_symlink(target, root + "/" + rel);
    }
};

#endif
