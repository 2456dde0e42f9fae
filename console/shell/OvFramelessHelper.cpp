#include "OvFramelessHelper.h"

#include "FramelessTarget.h"

#include <QEvent>
#include <QWidget>

OvFramelessHelper::OvFramelessHelper(QObject* parent) : QObject(parent) {}

OvFramelessHelper::~OvFramelessHelper()
{
    qDeleteAll(m_targets);
    m_targets.clear();
}

void OvFramelessHelper::activateOn(QWidget* widget)
{
    if (!widget || m_targets.contains(widget))
        return;
    m_targets.insert(widget, new FramelessTarget(&m_switches, widget));
    widget->installEventFilter(this);
    // A widget destroyed before its helper must not leave a dangling record.
    connect(widget, &QObject::destroyed, this, [this](QObject* gone) {
        auto it = m_targets.find(static_cast<QWidget*>(gone));
        if (it != m_targets.end()) {
            // The widget part is already gone: drop the record without touching it.
            it.value()->detach();
            delete it.value();
            m_targets.erase(it);
        }
    });
}

void OvFramelessHelper::setMovable(bool movable)
{
    m_switches.movable = movable;
}

void OvFramelessHelper::setResizable(bool resizable)
{
    m_switches.resizable = resizable;
}

void OvFramelessHelper::setMoveRubberBand(bool on)
{
    m_switches.moveRubberBand = on;
    updateRubberBands();
}

void OvFramelessHelper::setResizeRubberBand(bool on)
{
    m_switches.resizeRubberBand = on;
    updateRubberBands();
}

const FramelessTarget* OvFramelessHelper::target(QWidget* widget) const
{
    return m_targets.value(widget, nullptr);
}

void OvFramelessHelper::updateRubberBands()
{
    for (FramelessTarget* target : qAsConst(m_targets))
        target->updateRubberBand();
}

bool OvFramelessHelper::eventFilter(QObject* obj, QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseMove:
    case QEvent::Leave:
    case QEvent::HoverMove: {
        FramelessTarget* target = m_targets.value(static_cast<QWidget*>(obj), nullptr);
        if (target && target->handleEvent(event))
            return true;
        break;
    }
    default:
        break;
    }
    return QObject::eventFilter(obj, event);
}
