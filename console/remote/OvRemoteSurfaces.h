#pragma once

#include <QObject>

class OvApiServer;
class OvCommandTable;
class OvOscControl;
class OvSettings;
class OvStateFeed;
class OvTslTally;

// The remote surfaces the settings turn on: OSC, the WebSocket API and the
// TSL tally, each on the one command table and the one state feed. Each start,
// and each that could not start, is said in a system line.
class OvRemoteSurfaces : public QObject
{
    Q_OBJECT
public:
    OvRemoteSurfaces(OvCommandTable* commands, OvStateFeed* feed, QObject* parent = nullptr);

    void start(const OvSettings& settings);

    // Null while off.
    OvOscControl* osc() const { return m_osc; }
    OvApiServer* api() const { return m_api; }
    OvTslTally* tsl() const { return m_tsl; }

private:
    void startOsc(const OvSettings& settings);
    void startApi(const OvSettings& settings);
    void startTsl(const OvSettings& settings);

    OvCommandTable* m_commands;
    OvStateFeed* m_feed;
    OvOscControl* m_osc = nullptr;
    OvApiServer* m_api = nullptr;
    OvTslTally* m_tsl = nullptr;
};
