#include "cg/OvThumbnailQueue.h"

#include "cg/OvThumbnailDecoder.h"

#include <QThread>

namespace {

// Budget units of declared pixels (a QSemaphore counts in int).
constexpr qint64 PixelUnit = 4096;
constexpr int PixelUnits = int(OvThumbnailDecoder::MaxDeclaredPixels / PixelUnit);

}  // namespace

OvThumbnailQueue::OvThumbnailQueue(QObject* parent) : QObject(parent), m_pixels(PixelUnits)
{
    m_pool.setMaxThreadCount(qMax(1, QThread::idealThreadCount()));
}

OvThumbnailQueue::~OvThumbnailQueue()
{
    m_pool.clear();
    m_pool.waitForDone();
}

void OvThumbnailQueue::request(OvSubCGItem* item, const QString& base64, const operatorInfo& info)
{
    if (m_shutDown)
        return;
    const quint64 seq = m_nextSeq++;
    m_latest.insert(item, seq);
    m_requests.insert(seq, Result{item, QImage(), info});
    m_pool.start([this, seq, base64] {
        const qint64 declared = OvThumbnailDecoder::declaredPixels(base64);
        const int units = int(qBound<qint64>(1, (declared + PixelUnit - 1) / PixelUnit, PixelUnits));
        m_pixels.acquire(units);
        QImage image = OvThumbnailDecoder::decode(base64, OvThumbnailDecoder::MaxDeclaredPixels * 4);
        m_pixels.release(units);
        // The queue waits for its workers when it ends, so it is alive here.
        QMetaObject::invokeMethod(
            this, [this, seq, image = std::move(image)]() mutable { finished(seq, std::move(image)); },
            Qt::QueuedConnection);
    });
}

void OvThumbnailQueue::finished(quint64 seq, QImage image)
{
    const auto it = m_requests.find(seq);
    if (it == m_requests.end())
        return;  // dropped by a reset
    Result result = *it;
    m_requests.erase(it);
    result.image = std::move(image);
    m_done.insert(seq, result);
    applyInOrder();
}

void OvThumbnailQueue::applyInOrder()
{
    while (!m_done.isEmpty() && m_done.firstKey() == m_nextApply) {
        Result result = m_done.take(m_nextApply);
        const quint64 seq = m_nextApply++;
        const auto latest = m_latest.find(result.item);
        if (latest == m_latest.end() || *latest != seq)
            continue;  // a later picture was asked for, or the item has gone
        m_latest.erase(latest);
        emit ready(result.item, std::move(result.image), result.info);
    }
}

void OvThumbnailQueue::forget(const OvSubCGItem* item)
{
    m_latest.remove(item);
}

void OvThumbnailQueue::shutdown()
{
    m_shutDown = true;
    reset();
    m_pool.waitForDone();
}

void OvThumbnailQueue::reset()
{
    // Decodes not started are dropped; those running finish unseen.
    m_pool.clear();
    m_latest.clear();
    m_requests.clear();
    m_done.clear();
    m_nextApply = m_nextSeq;
}
