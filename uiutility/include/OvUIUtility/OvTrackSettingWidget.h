#pragma once

#include "ovuiutility_global.h"

#include <qwt_scale_draw.h>

#include <QList>
#include <QWidget>

class OvButton;
class OvLabel;
class OvScaleWidget;

// A track panel: sign buttons (add, remove, remove all), playback buttons
// (stop, back, play, forward, loop) and a frame counter above an OvScaleWidget.
// The owner adds signs: on signalAddSign() it reads addSign() and answers with
// updateData(). Remove-all keeps the sign at position 0. The clip ends at 100
// (see OvScaleWidget).
class OVUIUTILITY_EXPORT OvTrackSettingWidget : public QWidget
{
    Q_OBJECT
public:
    // The scale is always a top scale, whatever alignment is given.
    explicit OvTrackSettingWidget(QwtScaleDraw::Alignment alignment = QwtScaleDraw::TopScale,
                                  QWidget* parent = nullptr);
    ~OvTrackSettingWidget() override;

    // Replaces the scale's signs.
    void updateData(const QList<int>& positions);
    // Where the owner should add a sign: the play-head's value.
    int addSign() const;
    // Enables or disables the three sign buttons.
    void setEnableTrace(bool enable);

    OvScaleWidget* scaleWidget() const;

signals:
    void signalAddSign();
    // Every play-head move of the scale.
    void updateSignProperty(int value);

private slots:
    void valueChanged(int value);

private:
    void initUi();
    OvButton* makeButton(const char* name, const QString& text, const QString& accessibleName);

    OvButton* m_addSign = nullptr;
    OvButton* m_removeSign = nullptr;
    OvButton* m_removeAllSign = nullptr;
    OvScaleWidget* m_scale = nullptr;
    OvLabel* m_frameLabel = nullptr;
};
