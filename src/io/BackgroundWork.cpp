// SPDX-License-Identifier: GPL-3.0-or-later
#include "BackgroundWork.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

void YieldToEveryOtherThread()
{
    // On Linux a thread has a niceness of its own. At 10 it gives way to every thread at the
    // usual 0 the moment that one wakes, yet still gets about a tenth of a core that is busy
    // with other work, so a render finishes during a rehearsal's compile too.
    constexpr int kNice = 10;
    setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), kNice);
}
