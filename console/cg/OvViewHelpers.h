#pragma once

#include <QString>
#include <QVariant>
#include <QWidget>

namespace OvViewHelpers {

// Longest piece of server text (names, log titles and texts) a view shows;
// the log file keeps the whole text.
constexpr int MaxShownChars = 300;

// Server text cut to MaxShownChars with an ellipsis, so that a hostile or
// careless name cannot blow up a tool tip or a log row.
inline QString capped(const QString& text, int maxChars = MaxShownChars)
{
    if (text.size() <= maxChars)
        return text;
    int cut = maxChars;
    if (text.at(cut - 1).isHighSurrogate())
        --cut;
    return text.left(cut) + QChar(0x2026);
}

// Plain text for a tool tip, which would otherwise guess rich text on its own.
inline QString plainToolTip(const QString& text)
{
    return QStringLiteral("<p>%1</p>").arg(capped(text).toHtmlEscaped());
}

// Sets the "type" property the style sheet keys on. A widget that was polished
// already is re-polished at once; one that was not yet picks the value up on
// its first polish, so a freshly built widget is polished only once.
inline void setType(QWidget* widget, const QString& type)
{
    if (widget->property("type").toString() == type && widget->property("type").isValid())
        return;
    widget->setProperty("type", type);
    if (widget->testAttribute(Qt::WA_WState_Polished))
        widget->setStyle(widget->style());
}

}  // namespace OvViewHelpers
