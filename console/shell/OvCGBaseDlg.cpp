#include "OvCGBaseDlg.h"

#include "OvFramelessHelper.h"

OvCGBaseDlg::OvCGBaseDlg(QWidget* parent, int mode)
    : QDialog(parent), m_moveResizeMode(mode), m_framelessHelper(nullptr)
{
    // No window-type bit: without a parent this is a frameless top-level window,
    // with one it is a panel drawn inside its parent.
    setWindowFlags(Qt::FramelessWindowHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint);
    m_framelessHelper = new OvFramelessHelper(this);
    m_framelessHelper->activateOn(this);
}

OvCGBaseDlg::~OvCGBaseDlg()
{
    delete m_framelessHelper;
}

void OvCGBaseDlg::setMoveResizeMode(int mode)
{
    m_moveResizeMode = mode;
    switch (mode) {
    case 1:
        m_framelessHelper->setMovable(true);
        m_framelessHelper->setMoveRubberBand(true);
        break;
    case 2:
        m_framelessHelper->setMovable(true);
        m_framelessHelper->setResizable(true);
        m_framelessHelper->setMoveRubberBand(true);
        m_framelessHelper->setResizeRubberBand(true);
        break;
    default:
        m_framelessHelper->setMovable(false);
        m_framelessHelper->setResizable(false);
        m_framelessHelper->setMoveRubberBand(false);
        m_framelessHelper->setResizeRubberBand(false);
        break;
    }
}
