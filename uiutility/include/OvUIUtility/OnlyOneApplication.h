#pragma once

#include "ovuiutility_global.h"

#include <QApplication>
#include <QPointer>
#include <QString>

class QLocalServer;
class QWidget;

// A QApplication that lets one process per key run. The constructor probes a
// local socket named after the key: when another process answers, isRunning()
// is true and the caller should quit; otherwise this process serves the key.
// An empty connection wakes the serving process (it brings its activation
// window forward); the five bytes "close" make it quit.
class OVUIUTILITY_EXPORT OnlyOneApplication : public QApplication
{
    Q_OBJECT
public:
    OnlyOneApplication(int& argc, char** argv, const QString& key);
    ~OnlyOneApplication() override;

    bool isRunning() const;

    // The window that a later start brings forward; null means nothing happens.
    void setActivationWindow(QWidget* window);
    QWidget* activationWindow() const;

    // Where the socket for a key lives: in a folder of this user only
    // ($XDG_RUNTIME_DIR when it is private, else a private folder of the user's
    // own in the temporary folder), so another local user can neither squat on
    // the name nor plant the start lock.
    static QString socketPath(const QString& key);

    static OnlyOneApplication* instance();
    static void setInstance(OnlyOneApplication* app);

private slots:
    void _newLocalConnection();

private:
    void _initLocalConnection();
    void _newLocalServer();
    bool _serverAnswers() const;
    void _reportRunning();
    void _activateWindow();

    QPointer<QWidget> m_activationWindow;
    bool m_isRunning = false;
    QLocalServer* m_localServer = nullptr;
    QString m_serverName;

    static OnlyOneApplication* s_instance;
};
