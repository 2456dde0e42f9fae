#pragma once

// Process figures shared by the benchmarks (Linux /proc and clocks).
namespace OvBench {

// Kilobytes from a line of /proc/self/status such as "VmHWM:  1234 kB"; -1 if absent.
long statusKb(const char* key);
// Starts a fresh peak: writing 5 to clear_refs resets VmHWM to the current RSS.
void resetPeak();
// CPU time of this process: the machine may be shared, so wall time alone misleads.
double cpuMs();
// True inside the private network namespace of scripts/netns-run; otherwise
// says why not on standard error. A console that logs in announces itself by
// UDP broadcast, which must not reach a real network.
bool insidePrivateNetwork(const char* program);

} // namespace OvBench
