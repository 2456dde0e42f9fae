#include "OvFrameReader.h"

#include <QtEndian>

OvFrameReader::OvFrameReader(quint32 maxBodySize)
    : m_maxBodySize(maxBodySize)
{
}

void OvFrameReader::append(const QByteArray& data)
{
    if (m_failed)
        return;
    compact();
    m_buffer.append(data);
}

OvFrameReader::Result OvFrameReader::next(QByteArray* body)
{
    if (m_failed)
        return Result::TooLong;
    const int available = m_buffer.size() - m_offset;
    if (available < OvProtocol::HeaderSize)
        return Result::NeedMore;
    const quint32 length = qFromBigEndian<quint32>(m_buffer.constData() + m_offset);
    if (length > m_maxBodySize) {
        clear();
        m_failed = true;
        return Result::TooLong;
    }
    // length <= 64 MiB, so the sum stays well inside int.
    if (available - OvProtocol::HeaderSize < int(length))
        return Result::NeedMore;
    *body = m_buffer.mid(m_offset + OvProtocol::HeaderSize, int(length));
    m_offset += OvProtocol::HeaderSize + int(length);
    return Result::Frame;
}

void OvFrameReader::compact()
{
    if (m_offset == 0)
        return;
    if (m_offset >= m_buffer.size())
        m_buffer.clear();
    else
        m_buffer.remove(0, m_offset);
    m_offset = 0;
}

void OvFrameReader::clear()
{
    m_buffer.clear();
    m_offset = 0;
    m_failed = false;
}

int OvFrameReader::pending() const
{
    return m_buffer.size() - m_offset;
}

bool OvFrameReader::failed() const
{
    return m_failed;
}
