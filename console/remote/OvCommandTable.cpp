#include "remote/OvCommandTable.h"

#include "cg/OvCGListModel.h"
#include "cg/OvCgStatus.h"
#include "cg/OvRunningOrder.h"
#include "cg/OvSearchFilter.h"
#include "cg/OvSubCGItem.h"
#include "net/OvTransferServer.h"

#include <QUuid>

namespace {

int statusFor(const QString& name)
{
    return name == QLatin1String("pgm")   ? OvCgStatus::OnPgm
           : name == QLatin1String("pvw") ? OvCgStatus::OnPvw
                                          : OvCgStatus::Idle;
}

}  // namespace

const char* OvCommandTable::word(Refusal refusal)
{
    switch (refusal) {
    case Refusal::None:
        return "";
    case Refusal::BadMessage:
        return "bad message";
    case Refusal::UnknownCommand:
        return "unknown command";
    case Refusal::NoItem:
        return "no such item";
    case Refusal::NotConnected:
        return "not connected";
    case Refusal::Locked:
        return "locked";
    case Refusal::Hidden:
        return "hidden";
    case Refusal::Repeated:
        return "repeated";
    case Refusal::Refused:
        return "refused";
    case Refusal::NothingToGo:
        return "nothing to go";
    case Refusal::ReadOnly:
        return "read only";
    }
    return "refused";
}

const QVector<OvCommandTable::Command>& OvCommandTable::commands()
{
    using T = OvCommandTable;
    static const QVector<Command> table{
        {"pgm", Args::OptionalItem, true, &T::publish},
        {"pvw", Args::OptionalItem, true, &T::publish},
        {"cancel", Args::OptionalItem, true, &T::publish},
        {"select", Args::Item, false, &T::select},
        {"next", Args::None, false, &T::next},
        {"prev", Args::None, false, &T::previous},
        {"go", Args::None, true, &T::go},
        {"lock", Args::OptionalFlag, false, &T::lock},
        {"unlock", Args::None, false, &T::unlock},
        {"clearall", Args::None, true, &T::clearAll},
    };
    return table;
}

const OvCommandTable::Command* OvCommandTable::find(const QString& name)
{
    for (const Command& command : commands())
        if (name == QLatin1String(command.name))
            return &command;
    return nullptr;
}

OvCommandTable::OvCommandTable(OvCGListModel* model, OvTakeCommand* takes, OvRunningOrder* order,
                               OvSearchFilter* filter, OvTransferServer* transfer)
    : m_model(model), m_takes(takes), m_order(order), m_filter(filter), m_transfer(transfer)
{
}

OvCommandTable::Refusal OvCommandTable::run(const Request& request)
{
    const Command* const command = find(request.name);
    if (!command)
        return request.name.isEmpty() ? Refusal::BadMessage : Refusal::UnknownCommand;
    // A seat that may only watch changes nothing, not even the current item,
    // and is told so whatever its message carries.
    if (request.readOnly)
        return Refusal::ReadOnly;
    // An item for a command that takes none is the client's mistake: a
    // clearall or a go meant for one item must not act on all or on the next cue.
    if ((command->args == Args::None || command->args == Args::OptionalFlag)
        && request.item.kind != ItemRef::Current)
        return Refusal::BadMessage;
    if (command->needsServer && !m_transfer->isLoggedIn())
        return Refusal::NotConnected;
    // Whatever the command takes, its lines name the seat it came from.
    m_takes->setSeat(request.seat);
    const Refusal refusal = (this->*command->run)(request);
    m_takes->setSeat(QString());
    return refusal;
}

OvSubCGItem* OvCommandTable::resolve(const ItemRef& ref) const
{
    switch (ref.kind) {
    case ItemRef::Current:
        return m_model->currentCg();
    case ItemRef::Position:
        // Checked before any conversion: a panel may send any number.
        return ref.position >= 1 && ref.position <= m_model->count() ? m_model->cgAt(int(ref.position - 1)) : nullptr;
    case ItemRef::Text: {
        const QUuid guid(ref.text);
        if (!guid.isNull())
            if (OvSubCGItem* const item = m_model->findCg(guid))
                return item;
        return m_model->findCgByName(ref.text);
    }
    }
    return nullptr;
}

OvCommandTable::Refusal OvCommandTable::refusalOf(OvTakeCommand::Result result)
{
    switch (result) {
    case OvTakeCommand::Taken:
        return Refusal::None;
    case OvTakeCommand::NoItem:
        return Refusal::NoItem;
    case OvTakeCommand::Refused:
        return Refusal::Refused;
    case OvTakeCommand::Hidden:
        return Refusal::Hidden;
    case OvTakeCommand::Locked:
        return Refusal::Locked;
    case OvTakeCommand::Repeated:
        return Refusal::Repeated;
    }
    return Refusal::Refused;
}

OvCommandTable::Refusal OvCommandTable::publish(const Request& request)
{
    const int status = statusFor(request.name);
    // The current item as its button would take it (not while the search
    // hides it); a named one as the operator does it: the tile becomes
    // current, then its button.
    if (request.item.kind == ItemRef::Current)
        return refusalOf(m_takes->take(request.source, status));
    OvSubCGItem* const item = resolve(request.item);
    if (!item)
        return Refusal::NoItem;
    return refusalOf(m_takes->takeItem(request.source, item, status));
}

OvCommandTable::Refusal OvCommandTable::select(const Request& request)
{
    OvSubCGItem* const item = resolve(request.item);
    if (!item)
        return Refusal::NoItem;
    m_model->setCurrentCg(item);
    return Refusal::None;
}

OvCommandTable::Refusal OvCommandTable::next(const Request&)
{
    m_filter->step(1);
    return Refusal::None;
}

OvCommandTable::Refusal OvCommandTable::previous(const Request&)
{
    m_filter->step(-1);
    return Refusal::None;
}

OvCommandTable::Refusal OvCommandTable::go(const Request& request)
{
    const OvTakeCommand::Result result = m_order->go(request.source);
    return result == OvTakeCommand::NoItem ? Refusal::NothingToGo : refusalOf(result);
}

OvCommandTable::Refusal OvCommandTable::lock(const Request& request)
{
    m_takes->setLocked(request.flag);
    return Refusal::None;
}

OvCommandTable::Refusal OvCommandTable::unlock(const Request&)
{
    m_takes->setLocked(false);
    return Refusal::None;
}

OvCommandTable::Refusal OvCommandTable::clearAll(const Request& request)
{
    // No question: a panel's button is deliberate.
    return refusalOf(m_takes->clearAll(request.source));
}
