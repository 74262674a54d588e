// SPDX-License-Identifier: MIT
// Ends the test process with a message when a wait that should end never
// does: a hang is the very fault some tests look for, and a stuck test run
// would say nothing about which one it was.
#pragma once

#include <csignal>
#include <cstdlib>
#include <cstring>

#include <unistd.h>

class Watchdog {
public:
    Watchdog(unsigned seconds, const char* what) {
        reason() = what;
        std::signal(SIGALRM, [](int) {
            const char* text = reason();
            (void)!::write(2, "hung: ", 6);
            (void)!::write(2, text, std::strlen(text));
            (void)!::write(2, "\n", 1);
            std::_Exit(1);
        });
        ::alarm(seconds);
    }
    ~Watchdog() { ::alarm(0); }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

private:
    static const char*& reason() {
        static const char* text = "";
        return text;
    }
};
