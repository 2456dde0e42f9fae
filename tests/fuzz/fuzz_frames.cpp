// libFuzzer target: arbitrary bytes through the frame reader and the
// dispatcher, without a socket, a model or any UI. The first input byte picks
// the size of the pieces the stream arrives in.

#include "net/OvFrameReader.h"
#include "net/OvProtocol.h"
#include "net/OvProtocolDispatcher.h"
#include "net/OvProtocolSink.h"

#include <QByteArray>
#include <QJsonObject>

#include <cstdint>
#include <cstdlib>

namespace {

class FuzzSink : public OvProtocolSink
{
public:
    void sendFrame(const QByteArray& frame) override
    {
        if (frame.size() < OvProtocol::HeaderSize)
            std::abort();
    }
    QString token() const override { return m_token; }
    bool awaitingLogin() const override { return !m_loggedIn; }
    void loginSucceeded(const QString& token) override
    {
        if (m_loggedIn)
            std::abort();  // a repeated login answer must not get this far
        m_loggedIn = true;
        m_token = token;
    }
    void cgListReceived(const QList<OvCgRecord>& list, int) override { m_items += list.size(); }
    void cgNotified(const OvCgNotification& n) override
    {
        if (n.operationType < OvProtocol::StatusChange || n.operationType > OvProtocol::Add)
            std::abort();
    }
    void endpointNotice(const QString& text) override
    {
        if (text.isEmpty())
            std::abort();
    }
    void closeWithError(const QString& errorText, const QString& logText) override
    {
        if (errorText.isEmpty() && !logText.isEmpty())
            std::abort();
        closed = true;
    }

    bool closed = false;

private:
    QString m_token;
    bool m_loggedIn = false;
    int m_items = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const int piece = 1 + data[0] % 64;
    ++data;
    --size;

    // A small limit so that the over-long path is reached without huge inputs.
    OvFrameReader reader(4096);
    FuzzSink sink;
    OvProtocolDispatcher dispatcher(sink);
    size_t offset = 0;
    while (offset < size && !sink.closed) {
        const size_t n = std::min<size_t>(size_t(piece), size - offset);
        reader.append(QByteArray(reinterpret_cast<const char*>(data + offset), int(n)));
        offset += n;
        QByteArray body;
        for (;;) {
            const OvFrameReader::Result result = reader.next(&body);
            if (result == OvFrameReader::Result::NeedMore)
                break;
            if (result == OvFrameReader::Result::TooLong) {
                if (reader.pending() != 0)
                    std::abort();
                sink.closed = true;
                break;
            }
            if (body.size() > 4096)
                std::abort();
            if (!dispatcher.dispatch(body))
                break;
        }
        reader.compact();
    }
    return 0;
}
