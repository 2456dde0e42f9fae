#pragma once

#include <QByteArray>
#include <QColor>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>

// One CG item as the server keeps it. The guid is always the braced lower-case
// text the consoles compare against.
struct OvSimItem
{
    QString guid;
    QString name;
    int status = 0;
    QByteArray png;
};

// The server's list of CG items, in the order the consoles show them.
class OvSimCatalogue
{
public:
    static constexpr int kCardWidth = 160;
    static constexpr int kCardHeight = 90;
    // Thumbnails beyond this are not read from a folder: they would make every
    // syncCGList answer enormous.
    static constexpr qint64 kMaxImageFile = 8 * 1024 * 1024;
    // Generated items past this many have no card: a catalogue as large as a
    // console lists (100,000) then fits in one answer, and starts in a second.
    static constexpr int kPicturedItems = 1000;

    // A 160x90 PNG card: the colour as background, the name written across it.
    static QByteArray renderCard(const QString& name, const QColor& colour);
    static QString newGuid();
    static QJsonObject toJson(const OvSimItem& item);

    // count items named after kinds of graphics; a card each for the first kPicturedItems.
    void generate(int count);
    // Appends one item per readable PNG file of dir (by file name order); the
    // files that could not be used are described in problems. Returns the count.
    int loadFolder(const QString& dir, QStringList* problems);

    int count() const { return m_items.size(); }
    const OvSimItem& at(int index) const { return m_items.at(index); }
    // Row of an item named by its row number or its guid (braces and case free);
    // -1 when there is none.
    int resolve(const QString& indexOrGuid) const;
    QJsonArray toJsonArray() const;

    const OvSimItem& append(const QString& name, const QColor& colour);
    void rename(int index, const QString& name);
    void move(int from, int to);
    void remove(int index);
    void setStatus(int index, int status);
    void setPng(int index, const QByteArray& png);
    // Colours are handed out in turn so neighbouring cards look different.
    QColor nextColour();

private:
    QList<OvSimItem> m_items;
    int m_colourSeed = 0;
};
