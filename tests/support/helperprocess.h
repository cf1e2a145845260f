#pragma once

#include <QProcess>

#include <csignal>

#include <sys/prctl.h>
#include <unistd.h>

namespace qv {

// Readies a program a test starts to play a part (a terminal, a clipboard owner, a bus, a panel):
// its error output goes nowhere rather than into the test's own, and the kernel kills it when the
// test's process ends, however that ends. A helper left running with the test's output open would
// keep the test runner waiting on that output long after the test died. Call before start().
inline void bindToTest(QProcess &process)
{
    process.setStandardErrorFile(QProcess::nullDevice());
    const pid_t test = ::getpid();
    process.setChildProcessModifier([test] {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        // The test may have died between the fork and the line above.
        if (::getppid() != test)
            ::_exit(1);
    });
}

} // namespace qv
