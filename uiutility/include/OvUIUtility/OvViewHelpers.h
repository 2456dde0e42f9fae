#pragma once

#include <QString>

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

}  // namespace OvViewHelpers
