#pragma once

#include <sys/types.h>

#include <string>

#include "tests/support/temp_dir.h"

namespace tarvane::test {

// A real HTTP proxy (tinyproxy) with Basic authentication on 127.0.0.1 and a free port, running
// in the foreground as a child process for the life of the object.
class TinyProxy {
public:
    TinyProxy(const std::string& user, const std::string& password);
    ~TinyProxy();
    TinyProxy(const TinyProxy&) = delete;
    TinyProxy& operator=(const TinyProxy&) = delete;

    int port() const { return port_; }
    // False when tinyproxy is not installed or did not come up; tests skip then.
    bool running() const { return pid_ > 0; }

private:
    TempDir dir_;
    pid_t pid_ = -1;
    int port_ = 0;
};

}  // namespace tarvane::test
