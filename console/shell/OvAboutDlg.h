#pragma once

#include "OvCGBaseDlg.h"

class OvTitlebar;
class OvVersionInfo;

// The about panel: name, version, maker and legal notice. Opened with the main
// window as parent, it centres itself inside it.
class OvAboutDlg : public OvCGBaseDlg
{
    Q_OBJECT
public:
    explicit OvAboutDlg(QWidget* parent);
    // With explicit version data (a build without version data shows empty rows).
    OvAboutDlg(const OvVersionInfo& info, QWidget* parent);
    ~OvAboutDlg() override;

    OvTitlebar* titlebar() const { return m_titlebar; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    OvTitlebar* m_titlebar;
};
