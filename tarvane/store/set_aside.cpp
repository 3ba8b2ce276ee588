#include "tarvane/store/set_aside.h"

#include <sys/stat.h>

#include <cstdio>
#include <ctime>

#include "platform/codepage.h"

namespace tarvane {
namespace {

bool Exists(const std::string& ansiPath) {
    struct stat info {};
    return stat(platform::Utf8FromAnsi(ansiPath).c_str(), &info) == 0;
}

}  // namespace

std::string SetFileAside(const std::string& file) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    std::string name = file + ".damaged-" + stamp;
    for (int number = 2; Exists(name); ++number) {
        name = file + ".damaged-" + stamp + "-" + std::to_string(number);
    }
    if (std::rename(platform::Utf8FromAnsi(file).c_str(), platform::Utf8FromAnsi(name).c_str()) != 0) {
        return {};
    }
    return name;
}

}  // namespace tarvane
