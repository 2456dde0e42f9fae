#pragma once

#include <QFrame>

class ITitleMouseMoveState;
class MenuButton;
class OvButton;
class OvLabel;

// The title bar of every console window: icon, title, help menu, notice area and
// the minimize, maximize and close buttons. Dialogs let it drag their window.
class OvTitlebar : public QFrame
{
    Q_OBJECT
public:
    explicit OvTitlebar(QWidget* parent);
    ~OvTitlebar() override;

    void setTitle(const QString& title);
    void hideIcon();
    void hideMinimizeButton();
    void hideMaximizeButton();
    void showNotice();
    void showHelpMenu();
    void setSelfMove(bool selfMove);
    bool selfMove() const { return m_selfMove; }
    // Tells the style sheet whether the maximize button offers maximize or restore.
    void updateMaximizeState();

    OvButton* minimizeButton() const { return m_minimize; }
    OvButton* maximizeButton() const { return m_maximize; }
    OvButton* closeButton() const { return m_close; }
    OvLabel* iconLabel() const { return m_icon; }
    OvLabel* titleLabel() const { return m_title; }
    QWidget* noticeArea() const { return m_notice; }
    MenuButton* helpButton() const { return m_helper; }

signals:
    void quickWidget();
    void about();
    void helperInfo();

public slots:
    void showSmall();
    void showMaxRestore();

protected slots:
    void onClose();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    ITitleMouseMoveState* m_state;
    OvButton* m_minimize;
    OvButton* m_maximize;
    OvButton* m_close;
    OvLabel* m_icon;
    OvLabel* m_title;
    bool m_selfMove = true;
    QWidget* m_notice;
    MenuButton* m_helper;
};
