#pragma once

#include <QLineEdit>

// The search field above the tiles. While it has the keyboard every key is
// its own: nothing it types reaches the single-key shortcuts (Z, X, C, the
// arrows), whether they are on or not. Enter and Esc hand the keyboard back.
class OvCGSearchField : public QLineEdit
{
    Q_OBJECT
public:
    explicit OvCGSearchField(QWidget* parent = nullptr);
    ~OvCGSearchField() override;

signals:
    // Enter: the operator wants the first match.
    void chosen();
    // Esc: the field has emptied itself.
    void dismissed();
    // The keyboard went elsewhere in the window (not to another window).
    void focusLeft();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
};
