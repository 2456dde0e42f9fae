#include "cg/OvSearchFilter.h"

#include "cg/OvCGListModel.h"
#include "cg/OvSubCGItem.h"

OvSearchFilter::OvSearchFilter(OvCGListModel* model, QObject* parent) : QObject(parent), m_model(model)
{
    connect(model, &OvCGListModel::SingalCGInserted, this, &OvSearchFilter::catalogueChanged);
    connect(model, &OvCGListModel::SingalCGRemoved, this, &OvSearchFilter::catalogueChanged);
    connect(model, &OvCGListModel::SignalCgMoved, this, &OvSearchFilter::catalogueChanged);
    connect(model, &OvCGListModel::SingalCGUpdate, this, [this](int, int updateType) {
        // A rename may bring an item into the filter or take it out.
        if (updateType == OvSubCGItem::NameUpdate)
            catalogueChanged();
    });
}

bool OvSearchFilter::matches(const OvSubCGItem* item) const
{
    return item->name().contains(m_text, Qt::CaseInsensitive);
}

void OvSearchFilter::catalogueChanged()
{
    if (!isActive())
        return;
    // Marked only: a list arrives as thousands of changes in one turn.
    const bool wasDirty = std::exchange(m_dirty, true);
    m_positions.clear();
    if (!wasDirty)
        emit changed();
}

void OvSearchFilter::setText(const QString& text)
{
    if (text == m_text)
        return;
    // Typing on narrows what is already shown; anything else looks at the
    // whole catalogue again.
    const bool narrowing = isActive() && !m_dirty && text.contains(m_text, Qt::CaseInsensitive);
    m_text = text;
    m_positions.clear();
    if (narrowing) {
        QVector<OvSubCGItem*> kept;
        kept.reserve(m_matches.size());
        for (OvSubCGItem* const item : qAsConst(m_matches))
            if (matches(item))
                kept.append(item);
        m_matches = std::move(kept);
    } else {
        m_matches.clear();
        m_dirty = isActive();
    }
    emit changed();
}

void OvSearchFilter::refilter() const
{
    if (!m_dirty)
        return;
    m_dirty = false;
    m_matches.clear();
    m_positions.clear();
    const QList<OvSubCGItem*> items = m_model->cgList();
    for (OvSubCGItem* const item : items)
        if (matches(item))
            m_matches.append(item);
}

bool OvSearchFilter::hides(const OvSubCGItem* item) const
{
    return item && isActive() && !matches(item);
}

int OvSearchFilter::shownCount() const
{
    if (!isActive())
        return m_model->count();
    refilter();
    return m_matches.size();
}

OvSubCGItem* OvSearchFilter::shownAt(int position) const
{
    if (!isActive())
        return m_model->cgAt(position);
    refilter();
    return position >= 0 && position < m_matches.size() ? m_matches.at(position) : nullptr;
}

int OvSearchFilter::shownIndexOf(const OvSubCGItem* item) const
{
    if (!item)
        return -1;
    if (!isActive())
        return m_model->indexOfCg(item);
    refilter();
    if (m_positions.isEmpty() && !m_matches.isEmpty()) {
        m_positions.reserve(m_matches.size());
        for (int i = 0; i < m_matches.size(); ++i)
            m_positions.insert(m_matches.at(i), i);
    }
    return m_positions.value(item, -1);
}

void OvSearchFilter::step(int delta)
{
    OvSubCGItem* const current = m_model->currentCg();
    const int at = shownIndexOf(current);
    if (at < 0) {
        // Hidden: any step starts at the first shown; none at all: forward does.
        if (current || delta > 0)
            selectFirstShown();
        return;
    }
    if (OvSubCGItem* const item = shownAt(at + delta); item && at + delta >= 0)
        m_model->setCurrentCg(item);
}

bool OvSearchFilter::selectFirstShown()
{
    OvSubCGItem* const first = shownAt(0);
    if (!first)
        return false;
    m_model->setCurrentCg(first);
    return true;
}
