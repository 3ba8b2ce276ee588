// The main of every Qt test binary: one QApplication, offscreen even while tests are only listed.
#include <curl/curl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <cstdlib>

#if defined(__SANITIZE_THREAD__)
#include <dlfcn.h>
#include <sched.h>

#include <cstdarg>
// QProcess starts programs with clone(CLONE_VM | CLONE_VFORK); ThreadSanitizer's clone then does its
// after-fork work in that child on the parent's memory: the parent stops checking its main thread and
// dies at its next new thread. Such a child only execs, so it gets the C library's clone.
extern "C" int clone(int (*fn)(void*), void* stack, int flags, void* arg, ...) {
    va_list rest;
    va_start(rest, arg);
    void* ids[3] = {va_arg(rest, void*), va_arg(rest, void*), va_arg(rest, void*)};
    va_end(rest);
    using Clone = int (*)(int (*)(void*), void*, int, void*, ...);
    static auto checked = reinterpret_cast<Clone>(dlsym(RTLD_NEXT, "clone"));
    static auto plain = reinterpret_cast<Clone>(dlsym(dlopen("libc.so.6", RTLD_NOLOAD | RTLD_LAZY), "clone"));
    return ((flags & CLONE_VM) != 0 ? plain : checked)(fn, stack, flags, arg, ids[0], ids[1], ids[2]);
}
#endif

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
