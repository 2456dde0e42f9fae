#pragma once

#include <QString>

#include <functional>

// How the transfer client tells the operator why the connection went down. The
// client knows no widgets: the shell installs its modal box at start-up, a test
// a recorder. present() returns when the operator has seen the text.
class OvErrorPresenter
{
public:
    using Present = std::function<void(const QString& text)>;

    // Installs `present` (empty: none) and returns the one it replaces.
    static Present install(Present present);
    static void present(const QString& text);
};
