// SPDX-License-Identifier: MIT
#include <cstdio>
#include <string>
#include <vector>

#include "app/CommandLine.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return app::runCommandLine(args, stdout, stderr);
}
