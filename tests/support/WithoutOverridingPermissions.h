#pragma once
// Root may read and write any file or folder, so tests of refused access run their action on a
// thread of its own that first gives up that power (capabilities are per thread on Linux).
#include <sys/syscall.h>
#include <unistd.h>

#include <linux/capability.h>

#include <functional>
#include <thread>

namespace orvane::test {

inline void WithoutOverridingPermissions(const std::function<void()>& action) {
    std::thread([&] {
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        __user_cap_data_struct data[2]{};
        if (syscall(SYS_capget, &header, data) == 0) {
            data[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
            syscall(SYS_capset, &header, data);
        }
        action();
    }).join();
}

}  // namespace orvane::test
