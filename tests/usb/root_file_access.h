// Lets file permissions bind a test process that runs as root (as CI does):
// without CAP_DAC_OVERRIDE and CAP_DAC_READ_SEARCH a mode-000 device node
// refuses root too, as it refuses a user without the udev rule.
#pragma once

namespace korvel::testing {

// Drops both capabilities from the calling thread's effective set and from
// its bounding set (so that programs it starts do not regain them as root).
// Capabilities belong to threads: only threads created afterwards by this
// one inherit the drop, so call it before the threads that open devices
// exist. Nothing for a process that does not run as root; idempotent.
void GiveUpRootFileAccess();

}  // namespace korvel::testing
