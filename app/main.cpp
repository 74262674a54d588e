// SPDX-License-Identifier: MIT
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "app/CommandLine.h"

int main(int argc, char** argv) {
    // A file-size limit (ulimit -f) would otherwise end the process mid-write
    // and leave a temporary file behind; ignored, the write fails with EFBIG
    // and the save cleans up and says why.
    std::signal(SIGXFSZ, SIG_IGN);
    std::vector<std::string> args(argv + 1, argv + argc);
    return app::runCommandLine(args, stdout, stderr);
}
