#include "OvSimCatalogue.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QUuid>

namespace {

const char* const kCardKinds[] = {"Lower third", "Headline", "Weather", "Scoreboard",
                                  "Clock", "Logo", "Ticker", "Caption",
                                  "Credits", "Breaking news", "Map", "Quote"};

}  // namespace

QByteArray OvSimCatalogue::renderCard(const QString& name, const QColor& colour)
{
    QImage image(kCardWidth, kCardHeight, QImage::Format_RGB32);
    image.fill(colour);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        const QColor ink = colour.lightness() > 140 ? QColor(Qt::black) : QColor(Qt::white);
        painter.setPen(QPen(ink, 2));
        painter.drawRect(QRectF(1, 1, kCardWidth - 2, kCardHeight - 2));
        QFont font;
        font.setPixelSize(16);
        font.setBold(true);
        painter.setFont(font);
        painter.drawText(QRect(6, 6, kCardWidth - 12, kCardHeight - 12),
                         Qt::AlignCenter | Qt::TextWordWrap, name);
    }
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

QString OvSimCatalogue::newGuid()
{
    return QUuid::createUuid().toString().toLower();
}

QJsonObject OvSimCatalogue::toJson(const OvSimItem& item)
{
    return QJsonObject{{QStringLiteral("guid"), item.guid},
                       {QStringLiteral("name"), item.name},
                       {QStringLiteral("status"), item.status},
                       {QStringLiteral("imageBase64"), QString::fromLatin1(item.png.toBase64())}};
}

QColor OvSimCatalogue::nextColour()
{
    // Golden-angle steps through the hue circle keep successive cards apart.
    const int hue = (m_colourSeed * 137) % 360;
    const int value = (m_colourSeed % 3 == 2) ? 150 : 205;
    ++m_colourSeed;
    return QColor::fromHsv(hue, 170, value);
}

void OvSimCatalogue::generate(int count)
{
    constexpr int kinds = static_cast<int>(sizeof(kCardKinds) / sizeof(kCardKinds[0]));
    for (int i = 0; i < count; ++i) {
        const QString name = QStringLiteral("%1 %2")
                                 .arg(QString::fromLatin1(kCardKinds[i % kinds]))
                                 .arg(i + 1, 2, 10, QLatin1Char('0'));
        const QColor colour = nextColour();
        if (i < kPicturedItems)
            append(name, colour);
        else
            m_items.append(OvSimItem{newGuid(), name, 0, {}});
    }
}

int OvSimCatalogue::loadFolder(const QString& dir, QStringList* problems)
{
    const QDir folder(dir);
    if (!folder.exists()) {
        if (problems)
            problems->append(QStringLiteral("folder %1 does not exist").arg(dir));
        return 0;
    }
    int added = 0;
    const QFileInfoList files = folder.entryInfoList(
        {QStringLiteral("*.png"), QStringLiteral("*.PNG")}, QDir::Files | QDir::Readable, QDir::Name);
    for (const QFileInfo& info : files) {
        if (info.size() > kMaxImageFile) {
            if (problems)
                problems->append(QStringLiteral("%1: larger than %2 bytes, skipped")
                                     .arg(info.fileName())
                                     .arg(kMaxImageFile));
            continue;
        }
        QFile file(info.filePath());
        if (!file.open(QIODevice::ReadOnly)) {
            if (problems)
                problems->append(QStringLiteral("%1: %2").arg(info.fileName(), file.errorString()));
            continue;
        }
        const QByteArray bytes = file.readAll();
        if (QImage::fromData(bytes, "PNG").isNull()) {
            if (problems)
                problems->append(QStringLiteral("%1: not a readable PNG image, skipped").arg(info.fileName()));
            continue;
        }
        OvSimItem item;
        item.guid = newGuid();
        item.name = info.completeBaseName();
        item.png = bytes;
        m_items.append(item);
        ++added;
    }
    return added;
}

int OvSimCatalogue::resolve(const QString& indexOrGuid) const
{
    bool isNumber = false;
    const int index = indexOrGuid.toInt(&isNumber);
    if (isNumber)
        return (index >= 0 && index < m_items.size()) ? index : -1;
    const QUuid uuid = QUuid::fromString(indexOrGuid.trimmed());
    if (uuid.isNull())
        return -1;
    const QString wanted = uuid.toString().toLower();
    for (int i = 0; i < m_items.size(); ++i) {
        if (m_items.at(i).guid == wanted)
            return i;
    }
    return -1;
}

QJsonArray OvSimCatalogue::toJsonArray() const
{
    QJsonArray array;
    for (const OvSimItem& item : m_items)
        array.append(toJson(item));
    return array;
}

const OvSimItem& OvSimCatalogue::append(const QString& name, const QColor& colour)
{
    OvSimItem item;
    item.guid = newGuid();
    item.name = name;
    item.png = renderCard(name, colour);
    m_items.append(item);
    return m_items.last();
}

void OvSimCatalogue::rename(int index, const QString& name)
{
    m_items[index].name = name;
}

void OvSimCatalogue::move(int from, int to)
{
    m_items.move(from, to);
}

void OvSimCatalogue::remove(int index)
{
    m_items.removeAt(index);
}

void OvSimCatalogue::setStatus(int index, int status)
{
    m_items[index].status = status;
}

void OvSimCatalogue::setPng(int index, const QByteArray& png)
{
    m_items[index].png = png;
}
