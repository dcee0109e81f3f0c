// What the user kernel's stand-in in the launch benchmark leaves behind.
#pragma once

namespace QARN {
namespace Bench {

// Written beside the stand-in: its start reading of the performance counter,
// its command line and its current directory, one per line.
constexpr const char kKernelStampName[] = "kernel-stamp.txt";

// Set by the stand-in once the file is written.
constexpr const char kKernelStartedEvent[] = "QARN bench: kernel started";

}  // namespace Bench
}  // namespace QARN
