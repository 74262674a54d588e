// SPDX-License-Identifier: MIT
// Runs part of a test in a forked child, for what must not touch the test
// runner itself: resource limits, signal dispositions, giving up root, a
// disk of its own to fill, or a call that hangs when the code under test
// regresses (the child is then ended by an alarm instead of stalling the
// suite).
#pragma once

#include <csignal>
#include <functional>
#include <grp.h>
#include <sched.h>
#include <string>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

namespace child {

struct Outcome {
    bool exited = false; // false: killed by a signal, or the fork failed
    int status = -1;     // exit status, or the signal that ended it
    std::string report;  // what the body put in its report
};

// `body` returns the child's exit status and may fill `report`, which comes
// back through a pipe. The child never returns into the test runner.
inline Outcome run(const std::function<int(std::string& report)>& body,
                   unsigned timeoutSeconds = 30) {
    Outcome outcome;
    int ends[2];
    if (::pipe(ends) != 0) return outcome;
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(ends[0]);
        ::close(ends[1]);
        return outcome;
    }
    if (pid == 0) {
        ::close(ends[0]);
        ::alarm(timeoutSeconds);
        std::string report;
        const int status = body(report);
        for (size_t done = 0; done < report.size();) {
            const ssize_t n = ::write(ends[1], report.data() + done, report.size() - done);
            if (n <= 0) break;
            done += size_t(n);
        }
        ::_exit(status);
    }
    ::close(ends[1]);
    char chunk[512];
    for (ssize_t n; (n = ::read(ends[0], chunk, sizeof chunk)) > 0;)
        outcome.report.append(chunk, size_t(n));
    ::close(ends[0]);
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid) return outcome;
    outcome.exited = WIFEXITED(status);
    outcome.status = outcome.exited ? WEXITSTATUS(status) : WTERMSIG(status);
    return outcome;
}

// In a child only: gives up root for the unprivileged "nobody" account, so
// that file modes bind as they do for a user. True when that worked or the
// process was not root to begin with.
inline bool dropToNobody() {
    if (::geteuid() != 0) return true;
    constexpr uid_t kNobody = 65534;
    return ::setgroups(0, nullptr) == 0 && ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0 &&
           ::geteuid() == kNobody;
}

// In a child only: mounts a tmpfs of `bytes` on the existing folder `at`,
// in a mount namespace of the child's own, so a full disk can be met for
// real and vanishes with the child. Needs root; false where not allowed.
inline bool mountSmallDisk(const std::string& at, size_t bytes) {
    return ::unshare(CLONE_NEWNS) == 0 &&
           ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
           ::mount("tmpfs", at.c_str(), "tmpfs", 0, ("size=" + std::to_string(bytes)).c_str()) == 0;
}

// Exit status a child uses to say it could not set up its conditions; the
// test then skips rather than fails.
constexpr int kCannotSetUp = 77;

} // namespace child
