#pragma once

#include <QTemporaryDir>
#include <QWidget>

class QGridLayout;
class QTreeWidget;

// The gallery's one window: a section per group of widgets.
class OvUIGalleryWindow : public QWidget
{
    Q_OBJECT
public:
    explicit OvUIGalleryWindow(QWidget* parent = nullptr);
    ~OvUIGalleryWindow() override;

private:
    QWidget* section(const QString& title, QWidget* body);
    QWidget* buttons();
    QWidget* labelsAndEdits();
    QWidget* combosAndToolButtons();
    QWidget* flow();
    QWidget* pictures();
    QWidget* nodeIcons();
    QWidget* range();
    QWidget* track();
    void writeSamples();
    void selectNodeIcons(QTreeWidget* tree);

    QTemporaryDir m_samples;
};
