#pragma once

namespace mendral {

/**
 * Called first in main(), before anything else runs. Where the kernel gives transparent huge
 * pages only to memory that asks for them (mode "madvise"), glibc's allocator asks only when a
 * setting it reads at start-up says so: the program is then started again, once, with that
 * setting. The second start takes the setting out of its environment again, so that programs
 * it runs do not inherit it. A caller's own GLIBC_TUNABLES are left as they are. Returns
 * whenever the program is to go on: at the second start, with nothing to do, or when the new
 * start failed.
 */
void restartWithHugePages(char **argv);

} // namespace mendral
