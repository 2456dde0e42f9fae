#pragma once

#include "net/OvServerMessage.h"

#include <QByteArray>

#include <memory>

class OvJsonBody;
class OvProtocolSink;

// Interprets received bodies and tells the sink what to do about them. A body
// is decoded first (decode() needs no connection, so it may run on any
// thread with a parser of its own), then applied in the order received.
class OvProtocolDispatcher
{
public:
    explicit OvProtocolDispatcher(OvProtocolSink& sink);
    ~OvProtocolDispatcher();

    // False when the connection is being closed; no further frame of this
    // connection should be dispatched then.
    bool dispatch(const QByteArray& body);
    bool apply(const OvServerMessage& message);

    static OvServerMessage decode(OvJsonBody& json, const QByteArray& body);
    // With a parser of its own, let go with its buffers (sized for this body)
    // when done; safe on any thread.
    static OvServerMessage decodeAlone(const QByteArray& body);

private:
    OvProtocolSink& m_sink;
    // Parsing state kept between bodies (simdjson's buffers).
    std::unique_ptr<OvJsonBody> m_json;
};
