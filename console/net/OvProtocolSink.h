#pragma once

#include "net/OvCgNotification.h"
#include "net/OvCgRecord.h"

#include <QByteArray>
#include <QList>
#include <QString>

// What the dispatcher asks of the connection it serves. Kept abstract so the
// protocol can be driven without a socket, a model or any UI.
class OvProtocolSink
{
public:
    virtual ~OvProtocolSink() = default;

    // Send one framed message.
    virtual void sendFrame(const QByteArray& frame) = 0;
    // The token all later requests carry.
    virtual QString token() const = 0;
    // Whether a login response is due; one that arrives at any other time is
    // not acted on.
    virtual bool awaitingLogin() const = 0;

    // A login response with a non-negative code.
    virtual void loginSucceeded(const QString& token) = 0;
    // unlisted: records past the catalogue's bound, left out.
    virtual void cgListReceived(const QList<OvCgRecord>& list, int unlisted) = 0;
    // Only for operation types 1 to 6.
    virtual void cgNotified(const OvCgNotification& notification) = 0;
    virtual void endpointNotice(const QString& text) = 0;

    // The connection must end. An empty errorText leaves the texts as they are.
    virtual void closeWithError(const QString& errorText, const QString& logText) = 0;
    // The server refused this console (a failure code, a kick): the connection
    // must end, and is not to be tried again by itself.
    virtual void refused(const QString& errorText, const QString& logText)
    {
        closeWithError(errorText, logText);
    }
};
