#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <QVector>

class OvCGListModel;
class OvSubCGItem;

// The operator's search: the items whose name contains the typed text,
// ignoring case, in catalogue order. The grid shows what it shows; the take
// path asks it, so that no take aimed at "the current item" acts on a tile
// the operator cannot see. It follows the catalogue's changes by itself.
class OvSearchFilter : public QObject
{
    Q_OBJECT
public:
    explicit OvSearchFilter(OvCGListModel* model, QObject* parent = nullptr);

    // An empty text shows the whole catalogue.
    void setText(const QString& text);
    QString text() const { return m_text; }
    bool isActive() const { return !m_text.isEmpty(); }

    bool hides(const OvSubCGItem* item) const;
    // The items shown: the matches, or the whole catalogue without a text.
    int shownCount() const;
    OvSubCGItem* shownAt(int position) const;
    // The item's position among those shown; -1 for none or a hidden one.
    int shownIndexOf(const OvSubCGItem* item) const;

    // The current item moves delta places among those shown; a current item
    // the filter hides (or none) starts at the first shown. Nothing happens
    // past either end.
    void step(int delta);
    // Makes the first item shown the current one; false when none is shown.
    bool selectFirstShown();

signals:
    // What the filter hides may have changed: a new text, or the catalogue
    // changed under it. A view brings itself up to date.
    void changed();

private:
    bool matches(const OvSubCGItem* item) const;
    void catalogueChanged();
    // Brings the matches up to date when a change made them stale.
    void refilter() const;

    OvCGListModel* m_model;
    QString m_text;
    // The matching items in catalogue order, while a text is set.
    mutable QVector<OvSubCGItem*> m_matches;
    mutable bool m_dirty = false;
    // Each match's position in m_matches; built when first asked for, so a
    // run of arrows or remote steps does not walk the matches each time.
    mutable QHash<const OvSubCGItem*, int> m_positions;
};
