// A stand-in for the program in the crash test: it runs one task with the real engine and files
// until the task ends, and the test kills it at a moment of its choosing.
//   download_child PROGRAM_DIR OFFICIAL_HOST add PAGE FOLDER
//   download_child PROGRAM_DIR OFFICIAL_HOST start
#include <curl/curl.h>

#include <cstring>

#include "tests/download/engine_harness.h"

int main(int argc, char** argv) {
    if (argc < 4) {
        return 2;
    }
    curl_global_init(CURL_GLOBAL_ALL);
    int status = 0;
    {
        tarvane::test::EngineHarness engine(argv[1], argv[2]);
        if (std::strcmp(argv[3], "add") == 0 && argc == 6) {
            engine.AddPage(argv[4], argv[5]);
        } else if (std::strcmp(argv[3], "start") == 0) {
            engine.files.LoadDownloadList(engine.DownloadFile(), engine.list);
            engine.commands.StartTask(0);
        } else {
            status = 2;
        }
        if (!engine.WaitIdle(std::chrono::seconds(120))) {
            status = 1;
        }
    }
    curl_global_cleanup();
    return status;
}
