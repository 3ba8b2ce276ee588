// A stand-in for the program in the crash test: it runs one task with the real engine and files
// until the task ends, and the test kills it at a moment of its choosing. The first run adds the
// task; later runs start it again if it is not finished yet.
//   download_child PROGRAM_DIR OFFICIAL_HOST PAGE FOLDER
#include <curl/curl.h>

#include "tests/download/engine_harness.h"

int main(int argc, char** argv) {
    if (argc != 5) {
        return 2;
    }
    curl_global_init(CURL_GLOBAL_ALL);
    int status = 0;
    {
        tarvane::test::EngineHarness engine(argv[1], argv[2]);
        // Saved often, so that kills fall between saves of the count and the segment map alike.
        engine.context.saveIntervalMs = 200;
        if (engine.LocatePage(argv[3]) == tarvane::kPageNew) {
            engine.AddPage(argv[3], argv[4]);
        } else {
            engine.StartTask(engine.FindTask(argv[3]));
        }
        status = engine.WaitIdle(std::chrono::seconds(120)) ? 0 : 1;
    }
    curl_global_cleanup();
    return status;
}
