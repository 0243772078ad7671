// Every unit test runs with the input stack joined to the script language, as the program does.
#include "script/substitution.h"

namespace {
struct ATTACH_TYP {
    ATTACH_TYP() { attach_script_to_input(); }
} attach;
}  // namespace
