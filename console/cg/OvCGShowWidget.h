#pragma once

#include <QFrame>
#include <QPoint>

class OvButton;
class OvCGCustomLabel;
class OvCGOperationLogListWidget;
class OvCGScrollareaWidget;
class OvRunningOrder;
class OvSearchFilter;
class OvCGSearchField;
class OvLabel;
class OvRunningOrderPanel;
class OvGrayButton;
class QSplitter;

// The central area: the CG tiles (or, while no server is connected, a hint)
// on the left and the operation log pane on the right, in a splitter. The log
// pane keeps its width when the window is resized; a button that appears when
// the pointer comes near the splitter collapses and expands it.
class OvCGShowWidget : public QFrame
{
    Q_OBJECT
public:
    // The grid shows what filter does, the search field sets its text; the
    // panel between the tiles and the log shows order.
    OvCGShowWidget(OvSearchFilter* filter, OvRunningOrder* order, QWidget* parent = nullptr);
    ~OvCGShowWidget() override;

    OvCGScrollareaWidget* grid() const { return m_grid; }
    OvCGOperationLogListWidget* logList() const { return m_logList; }
    OvCGCustomLabel* hintLabel() const { return m_tips; }
    OvButton* toggleButton() const { return m_showButton; }
    OvGrayButton* clearButton() const { return m_clearButton; }
    QSplitter* splitter() const { return m_splitter; }
    QFrame* logPane() const { return m_logPane; }
    OvCGSearchField* searchField() const { return m_search; }
    OvLabel* searchCount() const { return m_searchCount; }
    OvRunningOrderPanel* runningOrderPanel() const { return m_cuePanel; }

    // Ctrl+F: the search field takes the keyboard, its text selected.
    void focusSearch();
    int savedLogWidth() const { return m_logWidth; }

    void onConnectChanged(bool connected);
    void onSplitterMoved(int pos, int index);
    void onChildMouseMove(QPoint pos);
    void toggleLogPane();

protected:
    void leaveEvent(QEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    void updateToggleButtonText();
    void updateSearchCount(int shown, int total);
    // Enter and Esc in the search field hand the keyboard back to the tiles.
    void leaveSearch();

    OvSearchFilter* m_filter;
    OvCGScrollareaWidget* m_grid = nullptr;
    OvCGOperationLogListWidget* m_logList = nullptr;
    OvCGCustomLabel* m_tips = nullptr;
    int m_logWidth = 185;
    OvButton* m_showButton = nullptr;
    OvGrayButton* m_clearButton = nullptr;
    QSplitter* m_splitter = nullptr;
    QFrame* m_logPane = nullptr;
    QFrame* m_searchRow = nullptr;
    OvCGSearchField* m_search = nullptr;
    OvLabel* m_searchCount = nullptr;
    OvRunningOrderPanel* m_cuePanel = nullptr;
};
