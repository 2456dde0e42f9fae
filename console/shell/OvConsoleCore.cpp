#include "shell/OvConsoleCore.h"

#include "cg/OvCGListModel.h"
#include "cg/OvCgStatus.h"
#include "cg/OvRunningOrder.h"
#include "cg/OvSearchFilter.h"
#include "cg/OvTakeCommand.h"
#include "net/OvTransferServer.h"
#include "remote/OvCommandTable.h"
#include "remote/OvRemoteSurfaces.h"
#include "remote/OvStateFeed.h"
#include "shortcut/OvKeyMap.h"
#include "shortcut/OvShortcutKey.h"

OvConsoleCore::OvConsoleCore(const OvSettings& settings, QObject* parent) : QObject(parent), m_settings(settings)
{
    OvCGListModel* const model = OvCGListModel::instance();
    OvTransferServer* const transfer = OvTransferServer::instance();
    // The operator's keys first: everything after registers and shows those.
    OvShortcutKey& shortcuts = OvShortcutKey::instance();
    shortcuts.applyKeys(OvKeyMap::fromValues(settings.keyTexts(), &m_keyProblems));
    transfer->setReconnect(settings.reconnect());

    m_filter = std::make_unique<OvSearchFilter>(model);
    m_takes = std::make_unique<OvTakeCommand>(m_filter.get());
    m_takes->setGuardMs(settings.takeGuardMs());
    m_order = std::make_unique<OvRunningOrder>(m_takes.get());
    m_order->setCuePreview(settings.cuePreview());
    m_commands = std::make_unique<OvCommandTable>(model, m_takes.get(), m_order.get(), m_filter.get(), transfer);
    m_feed = std::make_unique<OvStateFeed>(model, m_takes.get(), m_order.get(), transfer);
    m_surfaces = std::make_unique<OvRemoteSurfaces>(m_commands.get(), m_feed.get());

    // The single keys of the takes and of GO; they go with this core.
    const OvKeyMap& keys = OvKeyMap::current();
    OvTakeCommand* const takes = m_takes.get();
    shortcuts.addShortcut(keys.key(OvKeyMap::Pgm), [takes] { takes->take(OvTakeCommand::SingleKey, OvCgStatus::OnPgm); },
                          false, takes);
    shortcuts.addShortcut(keys.key(OvKeyMap::Pvw), [takes] { takes->take(OvTakeCommand::SingleKey, OvCgStatus::OnPvw); },
                          false, takes);
    shortcuts.addShortcut(keys.key(OvKeyMap::Cancel),
                          [takes] { takes->take(OvTakeCommand::SingleKey, OvCgStatus::Idle); }, false, takes);
    OvRunningOrder* const order = m_order.get();
    shortcuts.addShortcut(keys.key(OvKeyMap::Go), [order] { order->go(OvTakeCommand::SingleKey); }, false, order);
}

OvConsoleCore::~OvConsoleCore()
{
    // What waits to be written reaches the disk; the surfaces go before what they show.
    m_surfaces.reset();
    m_feed.reset();
    m_commands.reset();
    m_order.reset();
    m_takes.reset();
    m_filter.reset();
}

QStringList OvConsoleCore::problems() const
{
    return m_settings.problems() + m_keyProblems;
}

void OvConsoleCore::startRemoteSurfaces()
{
    m_surfaces->start(m_settings);
}
