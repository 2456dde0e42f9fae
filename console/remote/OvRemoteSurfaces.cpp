#include "remote/OvRemoteSurfaces.h"

#include "log/OvCGMessage.h"
#include "remote/OvApiServer.h"
#include "remote/OvOscControl.h"
#include "remote/OvTslTally.h"
#include "shell/OvSettings.h"

#include <QHostAddress>

OvRemoteSurfaces::OvRemoteSurfaces(OvCommandTable* commands, OvStateFeed* feed, QObject* parent)
    : QObject(parent), m_commands(commands), m_feed(feed)
{
}

void OvRemoteSurfaces::start(const OvSettings& settings)
{
    startOsc(settings);
    startApi(settings);
    startTsl(settings);
}

void OvRemoteSurfaces::startOsc(const OvSettings& settings)
{
    const int port = settings.oscPort();
    if (port == 0)
        return;
    auto* osc = new OvOscControl(m_commands, m_feed, this);
    const QString address = settings.oscAddress();
    QString error;
    if (!osc->listen(QHostAddress(address), quint16(port), &error)) {
        OvCGMessage::systemLine(tr("OSC控制无法在%1:%2上监听：%3").arg(address).arg(port).arg(error));
        delete osc;
        return;
    }
    QHostAddress host;
    quint16 feedbackPort = 0;
    if (OvSettings::parseHostPort(settings.oscFeedback(), &host, &feedbackPort))
        osc->setFeedback(host, feedbackPort);
    OvCGMessage::systemLine(tr("OSC控制在%1:%2上监听").arg(address).arg(port));
    m_osc = osc;
}

void OvRemoteSurfaces::startApi(const OvSettings& settings)
{
    const int port = settings.apiPort();
    if (port == 0)
        return;
    // A token anyone could guess keeps the API off.
    const QString refusal = OvApiServer::tokenRefusal(settings.apiToken());
    if (!refusal.isEmpty()) {
        OvCGMessage::systemLine(tr("远程接口未开启：%1").arg(refusal));
        return;
    }
    auto* api = new OvApiServer(m_commands, m_feed, this);
    api->setToken(settings.apiToken());
    // A view token that could not be kept apart from a guess, or from the
    // control token, gives no seat: the API works without it.
    const QString viewToken = settings.apiViewToken();
    const QString viewRefusal =
        viewToken.isEmpty() ? QString() : OvApiServer::viewTokenRefusal(viewToken, settings.apiToken());
    if (viewRefusal.isEmpty())
        api->setViewToken(viewToken);
    else
        OvCGMessage::systemLine(tr("远程接口的只看令牌未启用：%1").arg(viewRefusal));
    api->setAllowedOrigins(settings.apiOrigins());
    api->setAllowedHosts(settings.apiHosts());
    api->setLanguage(settings.language());
    const QString address = settings.apiAddress();
    QString error;
    if (!api->listen(QHostAddress(address), quint16(port), &error)) {
        OvCGMessage::systemLine(tr("远程接口无法在%1:%2上监听：%3").arg(address).arg(port).arg(error));
        delete api;
        return;
    }
    m_api = api;
}

void OvRemoteSurfaces::startTsl(const OvSettings& settings)
{
    QHostAddress host;
    quint16 port = 0;
    if (!OvSettings::parseHostPort(settings.tslTarget(), &host, &port))
        return;
    m_tsl = new OvTslTally(m_feed, this);
    m_tsl->setTarget(host, port);
    OvCGMessage::systemLine(tr("TSL tally发往%1").arg(settings.tslTarget()));
}
