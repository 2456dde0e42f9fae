#pragma once

#include "net/OvProtocol.h"

#include <QByteArray>

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

    explicit OvFrameReader(quint32 maxBodySize = OvProtocol::MaxBodySize);

    // Drops consumed bytes, then buffers data.
    void append(const QByteArray& data);
    // Takes out the next complete body. After TooLong the buffer has been
    // emptied and further appends are ignored until clear().
    Result next(QByteArray* body);
    // Drops the bytes already taken out.
    void compact();
    void clear();

    // Bytes received but not yet taken out.
    int pending() const;
    bool failed() const;

private:
    QByteArray m_buffer;
    int m_offset = 0;
    quint32 m_maxBodySize;
    bool m_failed = false;
};
