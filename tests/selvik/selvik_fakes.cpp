#include "tests/selvik/selvik_fakes.h"

#include <cstdlib>

namespace selvik::test {

ScopedEnvironment::~ScopedEnvironment() {
    for (const auto& [name, value] : saved_) {
        if (value) {
            setenv(name.c_str(), value->c_str(), 1);
        } else {
            unsetenv(name.c_str());
        }
    }
}

void ScopedEnvironment::Set(const std::string& name, const std::string& value) {
    if (saved_.find(name) == saved_.end()) {
        const char* old = std::getenv(name.c_str());
        saved_[name] = old != nullptr ? std::optional<std::string>(old) : std::nullopt;
    }
    setenv(name.c_str(), value.c_str(), 1);
}

}  // namespace selvik::test
