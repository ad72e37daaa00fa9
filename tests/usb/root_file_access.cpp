#include "root_file_access.h"

#include <linux/capability.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdio>
#include <initializer_list>

namespace korvel::testing {

void GiveUpRootFileAccess() {
    if (geteuid() != 0) {
        return;
    }
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
    if (syscall(SYS_capget, &header, data) != 0) {
        std::perror("capget");
        return;
    }
    for (int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH}) {
        data[CAP_TO_INDEX(cap)].effective &= ~CAP_TO_MASK(cap);
        data[CAP_TO_INDEX(cap)].inheritable &= ~CAP_TO_MASK(cap);
        // Without CAP_SETPCAP (some containers) children keep it; the
        // process itself is still bound.
        if (prctl(PR_CAPBSET_READ, cap) == 1) {
            prctl(PR_CAPBSET_DROP, cap);
        }
    }
    if (syscall(SYS_capset, &header, data) != 0) {
        std::perror("capset");
    }
}

}  // namespace korvel::testing
