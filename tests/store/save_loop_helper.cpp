// Saves one item of a task file over and over until it is killed: the crash test kills it at
// random moments. Bounded, so it ends by itself should nobody kill it.
#include <cstdio>
#include <string>

#include "tarvane/store/task_files.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s FILE PAGE\n", argv[0]);
        return 2;
    }
    const std::string file = argv[1];
    const std::string page = argv[2];
    tarvane::TaskFiles files;
    for (int round = 0; round < 20000; ++round) {
        if (!files.SetItemField(file, "frmPge", page, "flag", round % 2 == 0 ? "1" : "2")) {
            return 1;
        }
    }
    return 0;
}
