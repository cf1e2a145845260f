#pragma once

#include <functional>
#include <thread>

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace qv::test {

// Runs `fn` on a thread of its own for which a file's mode counts, as it does for any user: under
// root (as in a container) a mode 000 file is readable. The kernel keeps capabilities per thread,
// so dropping the two that override file modes there leaves the rest of the test untouched.
inline void runWithFileModesEnforced(const std::function<void()> &fn)
{
    std::thread worker([&fn] {
        if (::geteuid() == 0) {
            __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
            __user_cap_data_struct data[2] = {};
            if (::syscall(SYS_capget, &header, data) == 0) {
                data[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
                ::syscall(SYS_capset, &header, data);
            }
        }
        fn();
    });
    worker.join();
}

} // namespace qv::test
