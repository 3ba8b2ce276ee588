// The main of every Qt test binary: one QApplication, offscreen even while tests are only listed.
#include <curl/curl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <cstdlib>

#if defined(__SANITIZE_ADDRESS__)
// Qt WebEngine frees some of its own objects with a sized delete of another type, and leaves objects
// of its own, of udev and of fontconfig behind at exit; that is the library's business, not ours.
extern "C" const char* __asan_default_options() {
    return "new_delete_type_mismatch=0";
}
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libQt6WebEngineCore.so\nleak:libudev.so\nleak:libfontconfig.so\n";
}
#endif

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    if (geteuid() == 0) {
        setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
    }
    ::testing::InitGoogleTest(&argc, argv);
    // The program sets libcurl up at its start; the windows under test do not.
    curl_global_init(CURL_GLOBAL_ALL);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    int result = RUN_ALL_TESTS();
    curl_global_cleanup();
    return result;
}
