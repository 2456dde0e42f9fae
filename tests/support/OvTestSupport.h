#pragma once
// Helpers shared by the test programs.

#include <QByteArray>
#include <QString>
#include <functional>

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

// Polls cond while the event loop runs; true when it held within timeoutMs.
bool waitFor(const std::function<bool()>& cond, int timeoutMs);

// A fresh, empty folder under the test's own TMPDIR.
QString freshDir(const QString& name);

// Writes bytes to a file, creating its folder; false on failure.
bool writeFile(const QString& path, const QByteArray& bytes);
QByteArray readFile(const QString& path);

// A CG record with a fresh guid, no thumbnail.
cgItemData cgRecord(const QString& name, int status = 0);

}  // namespace OvTest
