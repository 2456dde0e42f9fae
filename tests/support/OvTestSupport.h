#pragma once
// Helpers shared by the test programs.

#include "net/OvErrorPresenter.h"

#include <QByteArray>
#include <QObject>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class OvTakeCommand;
class QProcess;
class QWidget;
struct cgItemData;

namespace OvTest {

// Closes whatever modal widget is active once it shows up, polling every
// intervalMs for at most timeoutMs. Tests that trigger a modal exec() use this
// so that a box nobody answers cannot hang the suite. The callback, when given,
// sees the modal widget before it is closed (to read its texts or press a button
// of its own choice; the widget is closed afterwards only if still visible).
void closeModalWhenShown(int timeoutMs = 5000, int intervalMs = 20,
                         std::function<void(QWidget*)> inspect = {});

// Stands in for the connection-error presenter while it lives (the console's
// box would wait for an operator): records each text in order, and puts the
// previous presenter back when it goes.
class ErrorRecorder
{
public:
    ErrorRecorder();
    ~ErrorRecorder();
    ErrorRecorder(const ErrorRecorder&) = delete;
    ErrorRecorder& operator=(const ErrorRecorder&) = delete;

    QStringList texts;

private:
    OvErrorPresenter::Present m_previous;
};

// Every entry posted to the operation log while it lives, as "title:text".
class LogRecorder : public QObject
{
public:
    LogRecorder();
    QStringList lines;
};

// A fresh, empty folder under the test's own TMPDIR.
QString freshDir(const QString& name);

// Writes bytes to a file, creating its folder; false on failure.
bool writeFile(const QString& path, const QByteArray& bytes);
QByteArray readFile(const QString& path);

// Copies the program, its library and (optionally) qss/ into dest, with an
// empty log/ beside it, so that a test's console writes a log of its own.
// Returns the program's path.
QString copyProgram(const QString& dest, bool withQss = true);

// Starts Xvfb on a display number nobody uses and waits for its socket. Returns
// the display (":N"), or an empty string with *error set.
QString startXvfb(QProcess& xvfb, QString* error);

// The system environment pointed at display for a Qt program on X11.
QProcessEnvironment x11Environment(const QString& display);

// Runs a helper program to its end, bounded; exitCode -1 when it did not start,
// did not finish in time or crashed. out is its trimmed standard output.
struct RunResult {
    int exitCode = -1;
    QString out;
};
RunResult runProgram(const QString& program, const QStringList& args, const QProcessEnvironment& env,
                     int timeoutMs = 20000);

// Ends a process: terminate, then kill if it lingers.
void stopProcess(QProcess& process);

// Asks the running console (the single-instance socket) to close, then waits
// for process to end, killing it if it does not.
void closeConsole(QProcess& process);

// A second host: a network namespace of its own, held open by a sleeping
// process, behind a veth link vc0 (here, 10.88.0.1) - vc1 (there, 10.88.0.2).
// Only inside the suite's private namespace; the link goes with the object.
class OtherHost
{
public:
    OtherHost() = default;
    ~OtherHost();
    OtherHost(const OtherHost&) = delete;
    OtherHost& operator=(const OtherHost&) = delete;

    // Empty when the host is up, else why it is not (a reason to skip).
    QString start();
    // Prefix that runs a command there: nsenter -t PID -n.
    QStringList enter() const;
    // Runs a command here, bounded; true when it succeeded.
    static bool run(const QString& program, const QStringList& args);

private:
    std::unique_ptr<QProcess> m_holder;
};

// A CG record with a fresh guid, no thumbnail.
cgItemData cgRecord(const QString& name, int status = 0);

// The operator's control-bar take of the current item (to PGM, PVW or off air).
int take(OvTakeCommand* takes, int targetStatus);

}  // namespace OvTest
