#pragma once

#include <functional>

namespace posix {

/// Copies every byte of `in` from its current offset to its end into `out`:
/// inside the kernel where the file systems allow it, through a buffer
/// otherwise, never holding a file in memory whole. `beforeChunk`, when
/// given, runs before each chunk (at most 16 MiB) and may throw to stop the
/// copy, so that a stop request is seen soon. Returns 0, or the errno of the
/// read or write that failed.
int copyFileContents(int in, int out, const std::function<void()>& beforeChunk = {});

} // namespace posix
