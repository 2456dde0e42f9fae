#include "OvSimFrameReader.h"

#include <QtEndian>

QByteArray OvSimFrameReader::header(quint32 bodyLength)
{
    QByteArray head(kHeaderSize, '\0');
    qToBigEndian<quint32>(bodyLength, head.data());
    head[4] = 1;
    return head;
}

QByteArray OvSimFrameReader::encode(const QByteArray& body)
{
    return header(static_cast<quint32>(body.size())) + body;
}

void OvSimFrameReader::append(const QByteArray& bytes)
{
    m_buffer.append(bytes);
}

quint32 OvSimFrameReader::announcedLength() const
{
    if (m_buffer.size() < kHeaderSize)
        return 0;
    return qFromBigEndian<quint32>(m_buffer.constData());
}

OvSimFrameReader::Result OvSimFrameReader::next(QByteArray* body, quint8* flag)
{
    if (m_buffer.size() < kHeaderSize)
        return Result::NeedMore;
    const quint32 length = announcedLength();
    if (length > kMaxBody)
        return Result::Oversized;
    const qint64 total = kHeaderSize + static_cast<qint64>(length);
    if (m_buffer.size() < total)
        return Result::NeedMore;
    if (flag)
        *flag = static_cast<quint8>(m_buffer.at(4));
    if (body)
        *body = m_buffer.mid(kHeaderSize, static_cast<int>(length));
    m_buffer.remove(0, static_cast<int>(total));
    return Result::Frame;
}
