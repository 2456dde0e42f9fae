#include "cg/OvThumbnailDecoder.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>
#include <QSemaphore>
#include <QThread>
#include <QThreadPool>

#include <atomic>
#include <functional>
#include <vector>

namespace {

// Qt's PNG reader scales 8-bit RGB(A) row by row; every other kind (one-bit,
// palette, grey, 16-bit) it reads whole, at the picture's own depth.
bool scalesWhileReading(QImage::Format format)
{
    return format == QImage::Format_RGB32 || format == QImage::Format_ARGB32;
}

// The header's interlace method: an interlaced picture is read whole by
// Qt's reader, whatever size it is asked for.
bool isInterlaced(const QByteArray& png)
{
    // Signature (8), chunk length (4), "IHDR" (4), width, height (8), depth,
    // colour type, compression, filter, then the interlace method.
    return png.size() > 28 && png.mid(12, 4) == "IHDR" && png.at(28) != 0;
}

// Bytes a whole picture of that kind takes while it is read.
qint64 wholeBytes(const QSize& size, QImage::Format format)
{
    const int bits = format == QImage::Format_Invalid ? 64 : QImage::toPixelFormat(format).bitsPerPixel();
    return qint64(size.width()) * size.height() * qMax(bits, 1) / 8;
}

// The size the picture in png decodes to, or an invalid size.
QSize targetSize(const QByteArray& png)
{
    if (png.isEmpty())
        return {};
    QBuffer buffer;
    buffer.setData(png);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "PNG");
    const QSize declared = reader.size();
    if (!declared.isValid()
        || qint64(declared.width()) * declared.height() > OvThumbnailDecoder::MaxDeclaredPixels)
        return {};
    if (declared.width() <= OvThumbnailDecoder::MaxWidth && declared.height() <= OvThumbnailDecoder::MaxHeight)
        return declared;
    const QImage::Format format = reader.imageFormat();
    const bool whole = !scalesWhileReading(format) || isInterlaced(png);
    // A whole read holds the picture and its scaled copy at once.
    if (whole && 2 * wholeBytes(declared, format) > OvThumbnailDecoder::MaxWholeBytes)
        return {};
    QSize scaled = declared.scaled(OvThumbnailDecoder::MaxWidth, OvThumbnailDecoder::MaxHeight, Qt::KeepAspectRatio);
    // A sliver of a picture keeps at least one pixel across.
    return scaled.expandedTo(QSize(1, 1));
}

QImage readScaled(const QByteArray& png, const QSize& size)
{
    QBuffer buffer;
    buffer.setData(png);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "PNG");
    if (reader.size() != size && scalesWhileReading(reader.imageFormat()) && !isInterlaced(png))
        reader.setScaledSize(size);
    QImage image = reader.read();
    if (image.isNull())
        return {};
    if (image.size() != size) {
        // Thinned at its own depth first: a smooth scale would widen the whole
        // picture to 32 bits a pixel before shrinking it.
        const QSize twice = (size * 2).boundedTo(image.size());
        if (image.size() != twice)
            image = image.scaled(twice, Qt::IgnoreAspectRatio, Qt::FastTransformation);
        image = image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    // The pixmap's own formats: the GUI thread then takes the pixels over as they are.
    const QImage::Format format =
        image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    if (image.format() != format)
        image = image.convertToFormat(format);
    return image;
}

QByteArray pngBytes(const QString& base64)
{
    // Characters outside base64 are skipped either way; Latin-1 keeps it cheap.
    return QByteArray::fromBase64(base64.toLatin1());
}

// Runs job(0) .. job(count - 1) on the calling thread and up to threads - 1
// helpers of the global pool; returns when every job is done.
void runParallel(int count, int threads, const std::function<void(int)>& job)
{
    std::atomic<int> next{0};
    auto work = [&] {
        for (int i = next++; i < count; i = next++)
            job(i);
    };
    QSemaphore finished;
    int helpers = 0;
    QThreadPool* const pool = QThreadPool::globalInstance();
    for (int k = 1; k < threads && k < count; ++k) {
        // A busy pool is no reason to wait: the calling thread does the rest.
        if (!pool->tryStart([&] {
                work();
                finished.release();
            }))
            break;
        ++helpers;
    }
    work();
    finished.acquire(helpers);
}

}  // namespace

qint64 OvThumbnailDecoder::costOf(const QSize& size)
{
    return size.isValid() ? qint64(size.width()) * size.height() * 4 : 0;
}

QSize OvThumbnailDecoder::decodedSize(const QString& base64)
{
    return targetSize(pngBytes(base64));
}

qint64 OvThumbnailDecoder::declaredPixels(const QString& base64)
{
    // 64 characters give 48 bytes, past the width and height (bytes 16 to 23).
    const QByteArray head = QByteArray::fromBase64(base64.left(64).toLatin1());
    if (head.size() < 24 || !head.startsWith("\x89PNG\r\n\x1a\n") || head.mid(12, 4) != "IHDR")
        return MaxDeclaredPixels;
    const auto be32 = [&head](int at) {
        return (quint32(quint8(head.at(at))) << 24) | (quint32(quint8(head.at(at + 1))) << 16)
               | (quint32(quint8(head.at(at + 2))) << 8) | quint32(quint8(head.at(at + 3)));
    };
    return qMin<qint64>(qint64(be32(16)) * qint64(be32(20)), MaxDeclaredPixels);
}

QImage OvThumbnailDecoder::decode(const QString& base64, qint64 bytesFree)
{
    const QByteArray png = pngBytes(base64);
    const QSize size = targetSize(png);
    if (!size.isValid() || costOf(size) > bytesFree)
        return {};
    return readScaled(png, size);
}

QList<QImage> OvThumbnailDecoder::decodeAll(const QStringList& base64, qint64 bytesFree, int threads)
{
    const int count = base64.size();
    if (threads <= 0)
        threads = qMax(1, QThread::idealThreadCount());
    std::vector<QByteArray> pngs(static_cast<size_t>(count));
    std::vector<QSize> sizes(static_cast<size_t>(count));
    // Headers first: they are cheap, and the budget must go to the list's
    // front whatever order the threads finish in.
    runParallel(count, threads, [&](int i) {
        pngs[size_t(i)] = pngBytes(base64.at(i));
        sizes[size_t(i)] = targetSize(pngs[size_t(i)]);
    });
    qint64 left = bytesFree;
    for (QSize& size : sizes) {
        if (!size.isValid())
            continue;
        const qint64 cost = costOf(size);
        if (cost > left) {
            size = QSize();
            continue;
        }
        left -= cost;
    }
    std::vector<QImage> images(static_cast<size_t>(count));
    runParallel(count, threads, [&](int i) {
        if (sizes[size_t(i)].isValid())
            images[size_t(i)] = readScaled(pngs[size_t(i)], sizes[size_t(i)]);
        pngs[size_t(i)] = QByteArray();
    });
    QList<QImage> result;
    result.reserve(count);
    for (QImage& image : images)
        result.append(std::move(image));
    return result;
}
