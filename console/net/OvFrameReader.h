#pragma once

#include "net/OvProtocol.h"

#include <QByteArray>

class QIODevice;

// Splits the received byte stream into frame bodies. Bytes are appended as they
// arrive; complete frames are taken out in order. Consumed bytes are skipped by
// offset and only dropped from the buffer when the next read is appended, so a
// burst of many frames is not copied once per frame.
class OvFrameReader
{
public:
    enum class Result {
        Frame,     // one body taken out
        NeedMore,  // no complete frame buffered
        TooLong,   // the next frame announces a body over the limit; the stream is unusable
    };

    // A body at least this long is handed out without a copy, and is stored
    // with ParsePadding readable bytes after it for the JSON parser.
    static constexpr int LargeBody = 1024 * 1024;
    static constexpr int ParsePadding = 64;

    explicit OvFrameReader(quint32 maxBodySize = OvProtocol::MaxBodySize);

    // Drops consumed bytes, then buffers data.
    void append(const QByteArray& data);
    // Drops consumed bytes, then buffers at most maxBytes of what device has
    // ready, read straight into the buffer. Returns the number of bytes read.
    qint64 readFrom(QIODevice& device, qint64 maxBytes);
    // Takes out the next complete body. After TooLong the buffer has been
    // emptied and further appends are ignored until clear().
    Result next(QByteArray* body);
    // Drops the bytes already taken out.
    void compact();
    void clear();

    // Bytes received but not yet taken out.
    int pending() const;
    // Bytes still to come before the next frame is complete (its header, or
    // the rest of its body); 0 when it is complete or announces too much.
    qint64 missing() const;
    bool failed() const;

private:
    // The announced body length of the next frame; false without a whole header.
    bool nextLength(quint32* length) const;
    // Room for the whole of a large frame in progress, allocated once.
    void reserveForFrame();

    QByteArray m_buffer;
    int m_offset = 0;
    quint32 m_maxBodySize;
    bool m_failed = false;
};
