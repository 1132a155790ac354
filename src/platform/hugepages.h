#pragma once

#include <string>

namespace mendral {

/**
 * Called first in main(), before anything else runs. Where the kernel gives transparent huge
 * pages only to memory that asks for them (mode "madvise"), glibc's allocator asks only when a
 * setting it reads at start-up says so: the program is then started again, once, with that
 * setting. The second start takes the setting out of its environment again, so that programs
 * it runs do not inherit it. Nothing is done when the caller set GLIBC_TUNABLES (even to
 * nothing) or LD_PRELOAD: a tool that preloads itself (valgrind, heaptrack) stays in charge of
 * the process it started. Returns whenever the program is to go on: at the second start, with
 * nothing to do, or when the new start failed.
 */
void restartWithHugePages(char **argv);

/**
 * Whether that restart is wanted, given GLIBC_TUNABLES and LD_PRELOAD (null when unset) and the
 * kernel's mode line ("always [madvise] never", empty when unknown).
 */
bool hugePageRestartWanted(const char *tunables, const char *preload, const std::string &kernelMode);

} // namespace mendral
