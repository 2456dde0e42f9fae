#pragma once

#include <QDialog>

class OvFramelessHelper;

// Base of every console window: frameless, yet movable and resizable through
// its OvFramelessHelper.
class OvCGBaseDlg : public QDialog
{
    Q_OBJECT
public:
    OvCGBaseDlg(QWidget* parent, int mode);
    ~OvCGBaseDlg() override;

    // 1: movable with an outline; 2: movable and resizable, both with an outline;
    // anything else: fixed.
    void setMoveResizeMode(int mode);
    int moveResizeMode() const { return m_moveResizeMode; }
    OvFramelessHelper* framelessHelper() const { return m_framelessHelper; }

private:
    int m_moveResizeMode;
    OvFramelessHelper* m_framelessHelper;
};
