#pragma once

#include <QImage>
#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>

// Turns the server's base64 PNG thumbnails into pictures of bounded size. A few
// bytes of PNG can declare a picture of many megabytes, so every picture is
// scaled down while it is decoded, and the caller's byte budget is checked
// before anything is decoded.
class OvThumbnailDecoder
{
public:
    // Twice the tiles' 160 x 90, for screens with two device pixels per point.
    static constexpr int MaxWidth = 320;
    static constexpr int MaxHeight = 180;
    // Largest picture a thumbnail may declare (16 megapixels): bounds the work
    // of decoding, whatever the result's size.
    static constexpr qint64 MaxDeclaredPixels = 4096LL * 4096LL;
    // Pictures the reader cannot scale row by row (other kinds than 8-bit RGB
    // and RGBA, and every interlaced picture) are read whole first; this
    // bounds the memory that takes, the picture and its scaled copy together
    // (a 4096 x 2048 picture at 32 bits a pixel).
    static constexpr qint64 MaxWholeBytes = 64LL << 20;

    // Bytes a decoded picture of this size is counted as (32 bits a pixel,
    // what a pixmap of it holds).
    static qint64 costOf(const QSize& size);

    // The size a thumbnail decodes to: its declared size, scaled down to fit
    // MaxWidth x MaxHeight with its aspect kept. Invalid when the text is not
    // a PNG of a sensible size.
    static QSize decodedSize(const QString& base64);

    // Pixels the thumbnail's header declares, read from its first bytes only;
    // MaxDeclaredPixels when no header can be read there.
    static qint64 declaredPixels(const QString& base64);

    // One thumbnail; a null image when it is not a PNG, or when its decoded
    // picture would cost more than bytesFree.
    static QImage decode(const QString& base64, qint64 bytesFree);

    // Many thumbnails, in their order: the budget goes to them front to back,
    // and those beyond it are not decoded (null images). The work is shared by
    // the calling thread and up to threads - 1 threads of the global pool.
    static QList<QImage> decodeAll(const QStringList& base64, qint64 bytesFree, int threads = 0);
};
