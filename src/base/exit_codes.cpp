#include "base/exit_codes.h"

namespace app::exitcode {

const char* Meaning(int code) {
    for (const Row& row : kTable) {
        if (row.code == code) return row.meaning;
    }
    return "unknown exit code";
}

}  // namespace app::exitcode
