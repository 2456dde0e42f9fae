#pragma once

#include "net/OvCgRecord.h"

#include <QByteArray>
#include <QJsonObject>

class OvProtocolSink;

// Interprets one received body and tells the sink what to do about it.
class OvProtocolDispatcher
{
public:
    explicit OvProtocolDispatcher(OvProtocolSink& sink);

    // False when the connection is being closed; no further frame of this
    // connection should be dispatched then.
    bool dispatch(const QByteArray& body);

    static OvCgRecord readRecord(const QJsonObject& object);

private:
    bool handleResponse(const QString& cmd, const QJsonObject& message);
    bool handleRequest(const QString& cmd, const QJsonObject& message);
    void handleNotifyCG(const QJsonObject& value);
    bool protocolError();

    OvProtocolSink& m_sink;
};
