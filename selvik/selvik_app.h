#pragma once

namespace selvik {

// The program: one window per process, on the page its command line names; answers the exit code.
int RunSelvik(int argc, char** argv);

}  // namespace selvik
