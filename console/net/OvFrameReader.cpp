#include "OvFrameReader.h"

#include <QIODevice>
#include <QtEndian>

#include <cstring>

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

qint64 OvFrameReader::readFrom(QIODevice& device, qint64 maxBytes)
{
    if (m_failed)
        return 0;
    compact();
    reserveForFrame();
    const qint64 wanted = qMin(maxBytes, device.bytesAvailable());
    if (wanted <= 0)
        return 0;
    const int before = m_buffer.size();
    // The size stays within int: a frame in progress is at most the body
    // limit, and maxBytes is never more than it still lacks or one chunk.
    m_buffer.resize(before + int(wanted));
    const qint64 got = device.read(m_buffer.data() + before, wanted);
    m_buffer.resize(before + int(qMax<qint64>(got, 0)));
    reserveForFrame();
    return qMax<qint64>(got, 0);
}

bool OvFrameReader::nextLength(quint32* length) const
{
    if (m_buffer.size() - m_offset < OvProtocol::HeaderSize)
        return false;
    *length = qFromBigEndian<quint32>(m_buffer.constData() + m_offset);
    return true;
}

void OvFrameReader::reserveForFrame()
{
    quint32 length = 0;
    if (m_offset != 0 || !nextLength(&length) || length > m_maxBodySize
        || int(length) < LargeBody)
        return;
    const int whole = OvProtocol::HeaderSize + int(length) + ParsePadding;
    if (m_buffer.capacity() >= whole)
        return;
    const int size = m_buffer.size();
    m_buffer.reserve(whole);
    // Zeroed once, so that the parser's read past the body sees defined bytes.
    m_buffer.resize(whole);
    std::memset(m_buffer.data() + size, 0, size_t(whole - size));
    m_buffer.resize(size);
}

OvFrameReader::Result OvFrameReader::next(QByteArray* body)
{
    if (m_failed)
        return Result::TooLong;
    quint32 length = 0;
    if (!nextLength(&length))
        return Result::NeedMore;
    if (length > m_maxBodySize) {
        clear();
        m_failed = true;
        return Result::TooLong;
    }
    const int available = m_buffer.size() - m_offset;
    // length <= 64 MiB, so the sum stays well inside int.
    const int end = OvProtocol::HeaderSize + int(length);
    if (available < end)
        return Result::NeedMore;
    if (m_offset == 0 && int(length) >= LargeBody) {
        // The buffer becomes the body: a second copy of tens of megabytes
        // would double what a large frame costs.
        QByteArray rest = m_buffer.mid(end);
        m_buffer.truncate(end);
        m_buffer.remove(0, OvProtocol::HeaderSize);
        const int size = m_buffer.size();
        if (m_buffer.capacity() - size >= ParsePadding) {
            m_buffer.resize(size + ParsePadding);
            std::memset(m_buffer.data() + size, 0, ParsePadding);
            m_buffer.resize(size);
        }
        *body = std::move(m_buffer);
        m_buffer = std::move(rest);
        return Result::Frame;
    }
    *body = m_buffer.mid(m_offset + OvProtocol::HeaderSize, int(length));
    m_offset += end;
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

qint64 OvFrameReader::missing() const
{
    const int available = pending();
    quint32 length = 0;
    if (!nextLength(&length))
        return OvProtocol::HeaderSize - available;
    if (length > m_maxBodySize)
        return 0;
    return qMax<qint64>(0, qint64(OvProtocol::HeaderSize) + length - available);
}

bool OvFrameReader::failed() const
{
    return m_failed;
}
