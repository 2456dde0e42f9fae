#pragma once

#include <QByteArray>
#include <QtGlobal>

// Frames of the console link: an 8-byte header (body length, big-endian 32-bit,
// then a flag byte of 1 and three zero bytes) followed by a UTF-8 JSON body.
// The reader collects bytes and hands out complete bodies one at a time.
class OvSimFrameReader
{
public:
    // Larger bodies are refused: nothing legitimate comes near it, and buffering
    // whatever a peer announces would let one bad header eat the memory.
    static constexpr quint32 kMaxBody = 64u * 1024u * 1024u;
    static constexpr int kHeaderSize = 8;

    enum class Result { Frame, NeedMore, Oversized };

    static QByteArray header(quint32 bodyLength);
    static QByteArray encode(const QByteArray& body);

    void append(const QByteArray& bytes);
    // Takes the next complete frame out of the buffer. On Oversized the buffer is
    // left as it is; the connection is beyond repair.
    Result next(QByteArray* body, quint8* flag = nullptr);
    quint32 announcedLength() const;
    int buffered() const { return m_buffer.size(); }
    void clear() { m_buffer.clear(); }

private:
    QByteArray m_buffer;
};
