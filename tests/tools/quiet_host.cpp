// A host that calls every export, for check_quiet.sh, which runs it with
// its standard output and standard error in files that must stay empty. It
// prints nothing itself; its exit status is the number of the first group
// of calls that failed, 0 when none did.
//
// usage: quiet_host WORK_FOLDER/ SOURCE_DIR
#include <string>

#include "../common/export_calls.h"
#include "kdlib.h"

int main(int argc, char** argv) {
    if (argc != 3) return 100;
    if (getVersion() != 190) return 99;
    SetLogFolder(argv[1]);
    for (int r = 1; r <= 5; ++r) getPar(r);
    const kdtest::CallFiles files{argv[2], argv[1]};
    int group = 0;
    for (const kdtest::ExportCall& c : kdtest::exportCalls()) {
        ++group;
        if (c.call(files).empty()) return group;
    }
    return 0;
}
