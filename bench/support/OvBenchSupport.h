#pragma once

#include <QElapsedTimer>
#include <QTimer>

#include <functional>

// Process figures shared by the benchmarks (Linux /proc and clocks).
namespace OvBench {

// Runs the event loop until cond holds, without sleeps between turns (unlike
// QTest's waits, which would hide stalls from a TurnProbe); false after timeoutMs.
bool waitFor(const std::function<bool()>& cond, int timeoutMs);

// The longest gap between turns of the event loop while it runs.
class TurnProbe
{
public:
    TurnProbe();
    void start();
    void stop();
    double longestMs() const { return m_longestNs / 1e6; }
    // The most CPU time this thread spent within one turn: on a shared
    // machine a long turn may be the scheduler's, not the program's.
    double longestCpuMs() const { return m_longestCpuNs / 1e6; }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_longestNs = 0;
    qint64 m_lastCpu = 0;
    qint64 m_longestCpuNs = 0;
    static qint64 threadCpuNs();
};

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
