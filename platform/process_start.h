#pragma once

#include <string>
#include <vector>

namespace platform {

// Starts a program detached from the caller (it is not waited for and outlives the caller), with an
// argument vector and never through a shell. `program` is a path or a name looked up in PATH;
// all texts are UTF-8. False when it could not be started.
bool StartDetached(const std::string& program, const std::vector<std::string>& arguments);

// The way the programs start other programs, so tests can see what was started.
class ProcessStarter {
public:
    virtual ~ProcessStarter() = default;
    virtual bool Start(const std::string& program, const std::vector<std::string>& arguments) = 0;
};

class SystemProcessStarter : public ProcessStarter {
public:
    bool Start(const std::string& program, const std::vector<std::string>& arguments) override {
        return StartDetached(program, arguments);
    }
};

}  // namespace platform
