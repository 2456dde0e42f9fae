#pragma once

#include "cg/OvTakeCommand.h"

#include <QCoreApplication>
#include <QString>
#include <QVector>

class OvCGListModel;
class OvRunningOrder;
class OvSearchFilter;
class OvSubCGItem;
class OvTransferServer;

// The commands every remote surface offers (OSC, the WebSocket API): each is
// a name, the arguments it takes and one handler, and each refusal is one
// word that every surface reports in its own form. A surface only decodes
// its wire into a Request and encodes the answer; it knows no command.
class OvCommandTable
{
    Q_DECLARE_TR_FUNCTIONS(OvCommandTable)

public:
    enum class Refusal {
        None,
        BadMessage,
        UnknownCommand,
        NoItem,
        NotConnected,
        Locked,
        Hidden,
        Repeated,
        Refused,
        NothingToGo,
        ReadOnly,
    };
    // The refusal as the surfaces send it ("no such item", "locked", ...).
    static const char* word(Refusal refusal);

    // An item as a surface names it: none (the current item), a 1-based
    // position, or a text (a guid in any of its written forms, else a name).
    struct ItemRef
    {
        enum Kind { Current, Position, Text };
        Kind kind = Current;
        qint64 position = 0;
        QString text;

        static ItemRef at(qint64 position) { return {Position, position, {}}; }
        static ItemRef named(const QString& text) { return {Text, 0, text}; }
    };

    enum class Args {
        None,
        OptionalItem,  // none: the current item
        Item,
        OptionalFlag,  // none: on
    };

    struct Request
    {
        QString name;
        ItemRef item;
        bool flag = true;
        OvTakeCommand::Source source = OvTakeCommand::RemoteApi;
        // A seat that may only watch: every command is refused "read only".
        bool readOnly = false;
        // The name the remote seat gave itself, for the log lines of its takes.
        QString seat;
    };

    struct Command
    {
        const char* name;
        Args args;
        // Refused while the console is not logged in: nothing would reach the server.
        bool needsServer;
        Refusal (OvCommandTable::*run)(const Request&);
    };
    static const QVector<Command>& commands();
    static const Command* find(const QString& name);

    OvCommandTable(OvCGListModel* model, OvTakeCommand* takes, OvRunningOrder* order, OvSearchFilter* filter,
                   OvTransferServer* transfer);

    Refusal run(const Request& request);
    // The item ref names; null when none.
    OvSubCGItem* resolve(const ItemRef& ref) const;

private:
    Refusal publish(const Request& request);
    Refusal select(const Request& request);
    Refusal next(const Request& request);
    Refusal previous(const Request& request);
    Refusal go(const Request& request);
    Refusal lock(const Request& request);
    Refusal unlock(const Request& request);
    Refusal clearAll(const Request& request);

    static Refusal refusalOf(OvTakeCommand::Result result);

    OvCGListModel* m_model;
    OvTakeCommand* m_takes;
    OvRunningOrder* m_order;
    OvSearchFilter* m_filter;
    OvTransferServer* m_transfer;
};
