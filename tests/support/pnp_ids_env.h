// VELKOR_PNP_IDS set for one scope, the names read so far dropped on the way in and out, and the
// old value put back: so that a test sees the list it names whoever runs it (CTest points the
// variable at tests/pnp.ids, a plain run of the test binary does not).
#ifndef VELKOR_TESTS_SUPPORT_PNP_IDS_ENV_H
#define VELKOR_TESTS_SUPPORT_PNP_IDS_ENV_H

#include <cstdlib>
#include <string>

#include "pnp/pnp_ids.h"

// The tests' own PnP ID list.
inline std::string test_pnp_ids() { return std::string(VELKOR_SOURCE_DIR) + "/tests/pnp.ids"; }

struct PNP_IDS_ENV {
    std::string old;
    bool had;
    // path null: the variable unset.
    explicit PNP_IDS_ENV(const char* path) {
        const char* v = getenv("VELKOR_PNP_IDS");
        had = v != nullptr;
        if (had) old = v;
        use(path);
    }
    explicit PNP_IDS_ENV(const std::string& path) : PNP_IDS_ENV(path.c_str()) {}
    ~PNP_IDS_ENV() { use(had ? old.c_str() : nullptr); }
    // Points the variable at path (null: unset) and drops the names read.
    void use(const char* path) {
        if (path)
            setenv("VELKOR_PNP_IDS", path, 1);
        else
            unsetenv("VELKOR_PNP_IDS");
        pnp_ids_forget();
    }
    PNP_IDS_ENV(const PNP_IDS_ENV&) = delete;
    PNP_IDS_ENV& operator=(const PNP_IDS_ENV&) = delete;
};

#endif
