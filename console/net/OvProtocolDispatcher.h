#pragma once

#include "net/OvCgRecord.h"

#include <QByteArray>

#include <memory>

class OvJsonBody;
class OvProtocolSink;

// Interprets one received body and tells the sink what to do about it.
class OvProtocolDispatcher
{
public:
    explicit OvProtocolDispatcher(OvProtocolSink& sink);
    ~OvProtocolDispatcher();

    // False when the connection is being closed; no further frame of this
    // connection should be dispatched then.
    bool dispatch(const QByteArray& body);

private:
    OvProtocolSink& m_sink;
    // Parsing state kept between bodies (simdjson's buffers).
    std::unique_ptr<OvJsonBody> m_json;
};
