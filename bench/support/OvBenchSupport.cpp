#include "OvBenchSupport.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace OvBench {

bool waitFor(const std::function<bool()>& cond, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!cond()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

qint64 TurnProbe::threadCpuNs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

TurnProbe::TurnProbe()
{
    m_timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_timer, &QTimer::timeout, [this] {
        const qint64 now = m_clock.nsecsElapsed();
        m_longestNs = qMax(m_longestNs, now - m_last);
        m_last = now;
        const qint64 cpu = threadCpuNs();
        m_longestCpuNs = qMax(m_longestCpuNs, cpu - m_lastCpu);
        m_lastCpu = cpu;
    });
}

void TurnProbe::start()
{
    m_longestNs = 0;
    m_last = 0;
    m_longestCpuNs = 0;
    m_lastCpu = threadCpuNs();
    m_clock.start();
    m_timer.start(1);
}

void TurnProbe::stop()
{
    m_timer.stop();
}

long statusKb(const char* key)
{
    QFile file(QStringLiteral("/proc/self/status"));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(key) + ':';
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

void resetPeak()
{
    QFile file(QStringLiteral("/proc/self/clear_refs"));
    if (file.open(QIODevice::WriteOnly))
        file.write("5");
}

double cpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

bool insidePrivateNetwork(const char* program)
{
    const char* const inside = std::getenv("OV_IN_NETNS");
    if (inside && std::strcmp(inside, "1") == 0)
        return true;
    std::fprintf(stderr, "%s: run me with scripts/netns-run: the console it drives broadcasts on the network\n",
                 program);
    return false;
}

} // namespace OvBench
