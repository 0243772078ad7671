// A directory of a test's own under /tmp, removed with everything in it when the test ends.
#ifndef VELKOR_TESTS_SUPPORT_SCRATCH_DIR_H
#define VELKOR_TESTS_SUPPORT_SCRATCH_DIR_H

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <string>
#include <unistd.h>
#include <vector>

struct SCRATCH_DIR {
    std::string path;  // "/nonexistent" when no directory could be made: every use then fails
    // dashed 0 makes a name of letters and digits only ("/tmp/velkorWHATxxxxxx"), for a path
    // that must be one word to the command line's tokenizer, which splits at '-'.
    explicit SCRATCH_DIR(const char* what = "test", int dashed = 1) {
        std::string pattern = dashed ? std::string("/tmp/velkor-") + what + "-XXXXXX"
                                     : std::string("/tmp/velkor") + what + "XXXXXX";
        std::vector<char> d(pattern.begin(), pattern.end());
        d.push_back(0);
        path = mkdtemp(d.data()) ? d.data() : "/nonexistent";
    }
    ~SCRATCH_DIR() {
        std::string cmd = "rm -rf '" + path + "'";
        if (system(cmd.c_str()) != 0) {}
    }
    SCRATCH_DIR(const SCRATCH_DIR&) = delete;
    SCRATCH_DIR& operator=(const SCRATCH_DIR&) = delete;
    std::string operator/(const std::string& name) const { return path + "/" + name; }
    // The names in the directory, sorted, without . and ..
    std::vector<std::string> names() const {
        std::vector<std::string> all;
        if (DIR* d = opendir(path.c_str())) {
            while (dirent* e = readdir(d))
                if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") all.push_back(e->d_name);
            closedir(d);
        }
        std::sort(all.begin(), all.end());
        return all;
    }
};

#endif
