#pragma once

#include "shell/OvSettings.h"

#include <QObject>
#include <QStringList>

#include <memory>

class OvCommandTable;
class OvRemoteSurfaces;
class OvRunningOrder;
class OvSearchFilter;
class OvStateFeed;
class OvTakeCommand;

// The console's working parts beyond the five process-wide objects, built
// once at start-up from the settings and handed to whoever uses them: the
// search filter, the take command, the running order, the command table, the
// state feed and the remote surfaces. Tests build one afresh per case.
class OvConsoleCore : public QObject
{
    Q_OBJECT
public:
    explicit OvConsoleCore(const OvSettings& settings, QObject* parent = nullptr);
    ~OvConsoleCore() override;

    const OvSettings& settings() const { return m_settings; }
    OvSearchFilter* filter() const { return m_filter.get(); }
    OvTakeCommand* takes() const { return m_takes.get(); }
    OvRunningOrder* order() const { return m_order.get(); }
    OvCommandTable* commands() const { return m_commands.get(); }
    OvStateFeed* feed() const { return m_feed.get(); }
    OvRemoteSurfaces* surfaces() const { return m_surfaces.get(); }

    // What the settings got wrong, the keys' included: a line each, worded
    // in the language loaded now.
    QStringList problems() const;
    // Starts the remote surfaces the settings turn on.
    void startRemoteSurfaces();

private:
    OvSettings m_settings;
    QStringList m_keyProblems;
    // Built in this order, ended in the reverse one.
    std::unique_ptr<OvSearchFilter> m_filter;
    std::unique_ptr<OvTakeCommand> m_takes;
    std::unique_ptr<OvRunningOrder> m_order;
    std::unique_ptr<OvCommandTable> m_commands;
    std::unique_ptr<OvStateFeed> m_feed;
    std::unique_ptr<OvRemoteSurfaces> m_surfaces;
};
