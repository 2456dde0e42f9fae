#include "OvSimCommands.h"

#include "OvSimCatalogue.h"
#include "OvSimConsoleLink.h"
#include "OvSimDiscovery.h"
#include "OvSimFrameReader.h"
#include "OvSimLog.h"
#include "OvSimServer.h"

#include <QColor>
#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

QString ok(const QString& text)
{
    return QStringLiteral("ok ") + text;
}

QString error(const QString& text)
{
    return QStringLiteral("error ") + text;
}

bool toInt(const QString& text, int* value)
{
    bool ok = false;
    *value = text.toInt(&ok);
    return ok;
}

const QString kUsage = QStringLiteral(
    "Commands (one per line; \"double quotes\" group words):\n"
    "  help                        this list\n"
    "  list                        the catalogue: index, guid, status, name\n"
    "  add NAME [COLOR]            append a generated card (COLOR: #rrggbb or a colour name)\n"
    "  rename ITEM NAME            rename an item (ITEM: index or guid)\n"
    "  move ITEM TO                move an item to row TO\n"
    "  remove ITEM                 remove an item\n"
    "  status ITEM STATUS          set the status: 0 off air, 1 PGM, 2 PVW\n"
    "  image ITEM [FILE.png]       give an item a new card, or the picture of a PNG file\n"
    "  consoles                    the connections: id, address, state, name, token\n"
    "  kick ID KICKTYPE            send kickOff with that kick type to console ID\n"
    "  code CMD CODE               answer the next CMD (login, syncCGList, heart, updateCG)\n"
    "                              with CODE; a negative CODE refuses the request\n"
    "  garbage [ID]                send a frame whose body is not JSON (default: all logged in)\n"
    "  oversize [ID] [LENGTH]      send a header announcing LENGTH bytes (default 64 MiB + 1)\n"
    "  login-delay MS              answer logins after MS milliseconds (0: at once)\n"
    "  ignore-login on|off         leave logins unanswered\n"
    "  account [NAME]              account shown as logged in on the server in discovery\n"
    "                              answers (none without NAME)\n"
    "  close [ID]                  close console ID's connection (all without ID)\n"
    "  hold on|off                 keep publish requests unanswered (on), then answer them (off)\n"
    "  quit                        close every connection and end the simulator\n"
    "  stop-reading [ID]           read nothing more from console ID (default: all logged in)\n"
    "  repeat-login [ID] [N]       send N unrequested login answers with fresh tokens (default 1)\n"
    "  flood [ID] N                send N notifications for an item nobody has\n"
    "Notifications of changes made here carry the operator name \"ovcg-sim\".");

}  // namespace

OvSimCommands::OvSimCommands(OvSimServer* server, OvSimDiscovery* discovery, QObject* parent)
    : QObject(parent)
    , m_server(server)
    , m_discovery(discovery)
{
}

QString OvSimCommands::helpText()
{
    return kUsage;
}

QStringList OvSimCommands::tokenize(const QString& line, bool* ok)
{
    QStringList words;
    QString word;
    bool inWord = false;
    bool quoted = false;
    for (int i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (quoted) {
            if (c == QLatin1Char('\\') && i + 1 < line.size()) {
                word.append(line.at(++i));
            } else if (c == QLatin1Char('"')) {
                quoted = false;
            } else {
                word.append(c);
            }
        } else if (c == QLatin1Char('"')) {
            quoted = true;
            inWord = true;
        } else if (c.isSpace()) {
            if (inWord)
                words.append(word);
            word.clear();
            inWord = false;
        } else {
            word.append(c);
            inWord = true;
        }
    }
    if (inWord)
        words.append(word);
    *ok = !quoted;
    return words;
}

QStringList OvSimCommands::execute(const QString& line)
{
    bool balanced = false;
    QStringList args = tokenize(line, &balanced);
    if (!balanced)
        return {error(QStringLiteral("unbalanced quotes"))};
    if (args.isEmpty())
        return {error(QStringLiteral("empty command; try help"))};
    const QString command = args.takeFirst().toLower();
    OvSimLog::line(QStringLiteral("command: %1").arg(line.trimmed()));

    QStringList reply;
    if (command == QLatin1String("help")) {
        for (const QString& text : helpText().split(QLatin1Char('\n')))
            reply.append(QStringLiteral("  ") + text);
        reply.append(ok(QStringLiteral("help")));
    } else if (command == QLatin1String("list")) {
        reply = runList();
    } else if (command == QLatin1String("consoles")) {
        reply = runConsoles();
    } else if (command == QLatin1String("quit")) {
        m_server->closeAll();
        emit quitRequested();
        reply.append(ok(QStringLiteral("quitting")));
    } else {
        using Runner = QString (OvSimCommands::*)(const QStringList&);
        static const QHash<QString, Runner> runners{
            {QStringLiteral("add"), &OvSimCommands::runAdd},
            {QStringLiteral("rename"), &OvSimCommands::runRename},
            {QStringLiteral("move"), &OvSimCommands::runMove},
            {QStringLiteral("remove"), &OvSimCommands::runRemove},
            {QStringLiteral("status"), &OvSimCommands::runStatus},
            {QStringLiteral("image"), &OvSimCommands::runImage},
            {QStringLiteral("kick"), &OvSimCommands::runKick},
            {QStringLiteral("code"), &OvSimCommands::runCode},
            {QStringLiteral("garbage"), &OvSimCommands::runGarbage},
            {QStringLiteral("oversize"), &OvSimCommands::runOversize},
            {QStringLiteral("login-delay"), &OvSimCommands::runLoginDelay},
            {QStringLiteral("ignore-login"), &OvSimCommands::runIgnoreLogin},
            {QStringLiteral("close"), &OvSimCommands::runClose},
            {QStringLiteral("account"), &OvSimCommands::runAccount},
            {QStringLiteral("hold"), &OvSimCommands::runHold},
            {QStringLiteral("stop-reading"), &OvSimCommands::runStopReading},
            {QStringLiteral("repeat-login"), &OvSimCommands::runRepeatLogin},
            {QStringLiteral("flood"), &OvSimCommands::runFlood},
        };
        const Runner runner = runners.value(command, nullptr);
        reply.append(runner ? (this->*runner)(args)
                            : error(QStringLiteral("unknown command \"%1\"; try help").arg(command)));
    }
    OvSimLog::line(QStringLiteral("reply: %1").arg(reply.last()));
    return reply;
}

int OvSimCommands::item(const QString& ref, QString* message) const
{
    const int row = m_server->catalogue().resolve(ref);
    if (row < 0)
        *message = error(QStringLiteral("no item \"%1\" (%2 items)").arg(ref).arg(m_server->catalogue().count()));
    return row;
}

QList<OvSimConsoleLink*> OvSimCommands::targets(const QStringList& args, int at, QString* message) const
{
    QList<OvSimConsoleLink*> links;
    if (args.size() > at) {
        int id = 0;
        OvSimConsoleLink* link = toInt(args.at(at), &id) ? m_server->link(id) : nullptr;
        if (!link)
            *message = error(QStringLiteral("no console \"%1\"").arg(args.at(at)));
        else
            links.append(link);
        return links;
    }
    for (OvSimConsoleLink* link : m_server->links()) {
        if (link->state() == OvSimConsoleLink::State::LoggedIn)
            links.append(link);
    }
    if (links.isEmpty())
        *message = error(QStringLiteral("no console is logged in"));
    return links;
}

QStringList OvSimCommands::runList() const
{
    QStringList reply;
    const OvSimCatalogue& catalogue = m_server->catalogue();
    for (int i = 0; i < catalogue.count(); ++i) {
        const OvSimItem& it = catalogue.at(i);
        reply.append(QStringLiteral("  %1 %2 %3 %4").arg(i).arg(it.guid).arg(it.status).arg(it.name));
    }
    reply.append(ok(QStringLiteral("%1 items").arg(catalogue.count())));
    return reply;
}

QStringList OvSimCommands::runConsoles() const
{
    QStringList reply;
    const QList<OvSimConsoleLink*> links = m_server->links();
    for (const OvSimConsoleLink* link : links) {
        reply.append(QStringLiteral("  %1 %2 %3 \"%4\" %5")
                         .arg(link->id())
                         .arg(link->peerText(), link->stateText(), link->operatorName(),
                              link->token().isEmpty() ? QStringLiteral("-") : link->token()));
    }
    reply.append(ok(QStringLiteral("%1 consoles, %2 logged in").arg(links.size()).arg(m_server->loggedInCount())));
    return reply;
}

QString OvSimCommands::runAdd(const QStringList& args)
{
    if (args.isEmpty())
        return error(QStringLiteral("usage: add NAME [COLOR]"));
    QStringList words = args;
    QColor colour;
    if (words.size() > 1 && QColor::isValidColor(words.last()))
        colour = QColor(words.takeLast());
    else
        colour = m_server->catalogue().nextColour();
    const OvSimItem& added = m_server->addItem(words.join(QLatin1Char(' ')), colour);
    return ok(QStringLiteral("added %1 %2 %3").arg(m_server->catalogue().count() - 1).arg(added.guid, added.name));
}

QString OvSimCommands::runRename(const QStringList& args)
{
    if (args.size() < 2)
        return error(QStringLiteral("usage: rename ITEM NAME"));
    QString message;
    const int row = item(args.at(0), &message);
    if (row < 0)
        return message;
    const QString name = args.mid(1).join(QLatin1Char(' '));
    m_server->renameItem(row, name);
    return ok(QStringLiteral("renamed %1 %2 %3").arg(row).arg(m_server->catalogue().at(row).guid, name));
}

QString OvSimCommands::runMove(const QStringList& args)
{
    if (args.size() != 2)
        return error(QStringLiteral("usage: move ITEM TO"));
    QString message;
    const int from = item(args.at(0), &message);
    if (from < 0)
        return message;
    int to = 0;
    if (!toInt(args.at(1), &to) || to < 0 || to >= m_server->catalogue().count())
        return error(QStringLiteral("TO must be a row from 0 to %1").arg(m_server->catalogue().count() - 1));
    m_server->moveItem(from, to);
    return ok(QStringLiteral("moved %1 to %2 %3").arg(from).arg(to).arg(m_server->catalogue().at(to).guid));
}

QString OvSimCommands::runRemove(const QStringList& args)
{
    if (args.size() != 1)
        return error(QStringLiteral("usage: remove ITEM"));
    QString message;
    const int row = item(args.at(0), &message);
    if (row < 0)
        return message;
    const QString guid = m_server->catalogue().at(row).guid;
    m_server->removeItem(row);
    return ok(QStringLiteral("removed %1 %2").arg(row).arg(guid));
}

QString OvSimCommands::runStatus(const QStringList& args)
{
    if (args.size() != 2)
        return error(QStringLiteral("usage: status ITEM STATUS"));
    QString message;
    const int row = item(args.at(0), &message);
    if (row < 0)
        return message;
    int status = 0;
    if (!toInt(args.at(1), &status) || status < 0 || status > 2)
        return error(QStringLiteral("STATUS must be 0, 1 or 2"));
    m_server->setItemStatus(row, status);
    return ok(QStringLiteral("status %1 %2 %3").arg(row).arg(m_server->catalogue().at(row).guid).arg(status));
}

QString OvSimCommands::runImage(const QStringList& args)
{
    if (args.isEmpty() || args.size() > 2)
        return error(QStringLiteral("usage: image ITEM [FILE.png]"));
    QString message;
    const int row = item(args.at(0), &message);
    if (row < 0)
        return message;
    QByteArray png;
    if (args.size() == 2) {
        QFile file(args.at(1));
        if (file.size() > OvSimCatalogue::kMaxImageFile)
            return error(QStringLiteral("%1 is larger than %2 bytes").arg(args.at(1)).arg(OvSimCatalogue::kMaxImageFile));
        if (!file.open(QIODevice::ReadOnly))
            return error(QStringLiteral("%1: %2").arg(args.at(1), file.errorString()));
        png = file.readAll();
        if (QImage::fromData(png, "PNG").isNull())
            return error(QStringLiteral("%1 is not a readable PNG image").arg(args.at(1)));
    } else {
        OvSimCatalogue& catalogue = m_server->catalogue();
        png = OvSimCatalogue::renderCard(catalogue.at(row).name, catalogue.nextColour());
    }
    m_server->setItemImage(row, png);
    return ok(QStringLiteral("image %1 %2 %3 bytes").arg(row).arg(m_server->catalogue().at(row).guid).arg(png.size()));
}

QString OvSimCommands::runKick(const QStringList& args)
{
    int kickType = 0;
    if (args.size() != 2 || !toInt(args.at(1), &kickType))
        return error(QStringLiteral("usage: kick ID KICKTYPE"));
    QString message;
    const QList<OvSimConsoleLink*> links = targets(args, 0, &message);
    if (links.isEmpty())
        return message;
    m_server->kick(links.first(), kickType);
    return ok(QStringLiteral("kicked %1 with kick type %2").arg(links.first()->id()).arg(kickType));
}

QString OvSimCommands::runCode(const QStringList& args)
{
    static const QStringList commands{QStringLiteral("login"), QStringLiteral("syncCGList"),
                                      QStringLiteral("heart"), QStringLiteral("updateCG")};
    int code = 0;
    if (args.size() != 2 || !toInt(args.at(1), &code))
        return error(QStringLiteral("usage: code CMD CODE"));
    if (!commands.contains(args.at(0)))
        return error(QStringLiteral("CMD must be one of %1").arg(commands.join(QStringLiteral(", "))));
    m_server->setPendingCode(args.at(0), code);
    return ok(QStringLiteral("next %1 answered with code %2").arg(args.at(0)).arg(code));
}

QString OvSimCommands::runGarbage(const QStringList& args)
{
    if (args.size() > 1)
        return error(QStringLiteral("usage: garbage [ID]"));
    QString message;
    const QList<OvSimConsoleLink*> links = targets(args, 0, &message);
    if (links.isEmpty())
        return message;
    const QByteArray body("this is {not JSON\xff\xfe", 19);
    for (OvSimConsoleLink* link : links)
        link->sendRaw(OvSimFrameReader::encode(body), QStringLiteral("frame with a body that is not JSON"));
    return ok(QStringLiteral("garbage sent to %1 consoles").arg(links.size()));
}

QString OvSimCommands::runOversize(const QStringList& args)
{
    if (args.size() > 2)
        return error(QStringLiteral("usage: oversize [ID] [LENGTH]"));
    quint32 length = OvSimFrameReader::kMaxBody + 1;
    if (args.size() == 2) {
        bool valid = false;
        length = args.at(1).toUInt(&valid);
        if (!valid)
            return error(QStringLiteral("LENGTH must be a number up to 4294967295"));
    }
    QString message;
    const QList<OvSimConsoleLink*> links = targets(args, 0, &message);
    if (links.isEmpty())
        return message;
    for (OvSimConsoleLink* link : links)
        link->sendRaw(OvSimFrameReader::header(length) + QByteArray("{\"cmd\":", 7),
                      QStringLiteral("header announcing %1 bytes").arg(length));
    return ok(QStringLiteral("oversized header (%1 bytes) sent to %2 consoles").arg(length).arg(links.size()));
}

QString OvSimCommands::runLoginDelay(const QStringList& args)
{
    int ms = 0;
    if (args.size() != 1 || !toInt(args.at(0), &ms) || ms < 0)
        return error(QStringLiteral("usage: login-delay MS (0 or more)"));
    m_server->setLoginDelay(ms);
    return ok(QStringLiteral("login delay %1 ms").arg(ms));
}

QString OvSimCommands::runIgnoreLogin(const QStringList& args)
{
    const QString value = args.value(0).toLower();
    if (args.size() != 1 || (value != QLatin1String("on") && value != QLatin1String("off")))
        return error(QStringLiteral("usage: ignore-login on|off"));
    m_server->setIgnoreLogin(value == QLatin1String("on"));
    return ok(QStringLiteral("ignore-login %1").arg(value));
}

QString OvSimCommands::runClose(const QStringList& args)
{
    if (args.size() > 1)
        return error(QStringLiteral("usage: close [ID]"));
    if (args.isEmpty()) {
        const int count = m_server->links().size();
        m_server->closeAll();
        return ok(QStringLiteral("closed %1 connections").arg(count));
    }
    QString message;
    const QList<OvSimConsoleLink*> links = targets(args, 0, &message);
    if (links.isEmpty())
        return message;
    const int id = links.first()->id();
    links.first()->close();
    return ok(QStringLiteral("closed %1").arg(id));
}

QString OvSimCommands::runAccount(const QStringList& args)
{
    if (!m_discovery)
        return error(QStringLiteral("discovery is off"));
    OvSimDiscovery::Info info = m_discovery->info();
    info.accountName = args.join(QLatin1Char(' '));
    m_discovery->setInfo(info);
    return ok(info.accountName.isEmpty() ? QStringLiteral("no account logged in")
                                         : QStringLiteral("account \"%1\" logged in").arg(info.accountName));
}

QString OvSimCommands::runHold(const QStringList& args)
{
    const QString value = args.value(0).toLower();
    if (args.size() != 1 || (value != QLatin1String("on") && value != QLatin1String("off")))
        return error(QStringLiteral("usage: hold on|off"));
    m_server->setHoldUpdates(value == QLatin1String("on"));
    return ok(QStringLiteral("hold %1").arg(value));
}

QString OvSimCommands::runStopReading(const QStringList& args)
{
    if (args.size() > 1)
        return error(QStringLiteral("usage: stop-reading [ID]"));
    QString message;
    const QList<OvSimConsoleLink*> links = targets(args, 0, &message);
    if (links.isEmpty())
        return message;
    for (OvSimConsoleLink* link : links)
        link->stopReading();
    return ok(QStringLiteral("%1 consoles no longer read").arg(links.size()));
}

QString OvSimCommands::runRepeatLogin(const QStringList& args)
{
    int count = 1;
    if (args.size() > 2 || (args.size() == 2 && (!toInt(args.at(1), &count) || count < 1)))
        return error(QStringLiteral("usage: repeat-login [ID] [N]"));
    QString message;
    const QList<OvSimConsoleLink*> links = targets(args, 0, &message);
    if (links.isEmpty())
        return message;
    for (OvSimConsoleLink* link : links) {
        for (int i = 0; i < count; ++i)
            link->sendJson({{QStringLiteral("cmd"), QStringLiteral("login")},
                            {QStringLiteral("cmdType"), QStringLiteral("response")},
                            {QStringLiteral("code"), 0},
                            {QStringLiteral("codeInfo"), QString()},
                            {QStringLiteral("value"),
                             QJsonObject{{QStringLiteral("token"), OvSimCatalogue::newGuid()}}}});
    }
    return ok(QStringLiteral("%1 login answers sent to %2 consoles").arg(count).arg(links.size()));
}

QString OvSimCommands::runFlood(const QStringList& args)
{
    int count = 0;
    if (args.isEmpty() || args.size() > 2 || !toInt(args.last(), &count) || count < 1)
        return error(QStringLiteral("usage: flood [ID] N"));
    QString message;
    const QList<OvSimConsoleLink*> links = targets(args.mid(0, args.size() - 1), 0, &message);
    if (links.isEmpty())
        return message;
    // Compact and prebuilt: a burst as a busy server would send it.
    const QByteArray body = QJsonDocument(QJsonObject{
        {QStringLiteral("cmd"), QStringLiteral("notifyCG")},
        {QStringLiteral("cmdType"), QStringLiteral("request")},
        {QStringLiteral("value"),
         QJsonObject{{QStringLiteral("operationTarget"), OvSimCatalogue::newGuid()},
                     {QStringLiteral("operationType"), 1},
                     {QStringLiteral("operationValue"), QJsonObject{{QStringLiteral("status"), 1}}}}}})
                                .toJson(QJsonDocument::Compact);
    const QByteArray frame = OvSimFrameReader::encode(body);
    constexpr int kBatch = 10000;  // keeps each write well below the unsent limit
    for (OvSimConsoleLink* link : links) {
        for (int sent = 0; sent < count; sent += kBatch)
            link->sendRaw(frame.repeated(qMin(kBatch, count - sent)),
                          QStringLiteral("%1 notifications").arg(qMin(kBatch, count - sent)));
    }
    return ok(QStringLiteral("%1 notifications sent to %2 consoles").arg(count).arg(links.size()));
}
