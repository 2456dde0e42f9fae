#pragma once

#include "FramelessSwitches.h"

#include <QHash>
#include <QObject>

#include <memory>

class FramelessTarget;
class QWidget;

// Gives frameless windows back what a system frame offers: moving by the top
// strip and resizing at the borders, optionally through an outline.
class OvFramelessHelper : public QObject
{
    Q_OBJECT
public:
    explicit OvFramelessHelper(QObject* parent = nullptr);
    ~OvFramelessHelper() override;

    void activateOn(QWidget* widget);

    void setMovable(bool movable);
    void setResizable(bool resizable);
    void setMoveRubberBand(bool on);
    void setResizeRubberBand(bool on);

    bool movable() const { return m_switches.movable; }
    bool resizable() const { return m_switches.resizable; }
    bool moveRubberBand() const { return m_switches.moveRubberBand; }
    bool resizeRubberBand() const { return m_switches.resizeRubberBand; }

    // The record of a managed widget, or null.
    const FramelessTarget* target(QWidget* widget) const;

protected:
    bool eventFilter(QObject* obj, QEvent* event) override;

private:
    void updateRubberBands();

    FramelessSwitches m_switches;
    QHash<QWidget*, FramelessTarget*> m_targets;
};
