#pragma once

#include <chrono>
#include <functional>

namespace tarvane::test {

// Processes Qt events until `done` or the time is up; answers done().
bool SpinUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(30));

}  // namespace tarvane::test
