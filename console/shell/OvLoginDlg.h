#pragma once

#include "shell/OvCGBaseDlg.h"

#include <QString>

class OvComboBoxListView;
class OvLineEdit;
class OvTitlebar;

// The connection dialog: lists the CG servers found on the network and starts a
// connection with the chosen address, port and password. It stays open when
// the attempt fails (the transfer client's message box opens over it) and
// closes once the login succeeds. Port and password come from config.ini,
// read once when the dialog is built; the dialog never writes the file.
class OvLoginDlg : public OvCGBaseDlg
{
    Q_OBJECT
public:
    explicit OvLoginDlg(QWidget* parent = nullptr);
    ~OvLoginDlg() override;

    // Address of the server chosen in the list; empty while none is.
    QString selectedAddress() const { return m_selectedAddress; }

    // The port field read as a port number: 0 when it is no decimal number or
    // lies outside 0..65535.
    static int portFromText(const QString& text);

public slots:
    void ConnectToServer();
    void slotComboxChanged(int index);

private:
    void onConnectionChanged(bool loggedIn);

    OvComboBoxListView* m_serverList = nullptr;
    OvLineEdit* m_portEdit = nullptr;
    OvLineEdit* m_passwordEdit = nullptr;
    QString m_selectedAddress;
};
