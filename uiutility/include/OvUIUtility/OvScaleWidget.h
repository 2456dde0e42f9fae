#pragma once

#include "ovuiutility_global.h"

#include <qwt_scale_draw.h>
#include <qwt_scale_widget.h>

#include <QList>
#include <QPolygon>

#include <map>

class QTimer;

// A horizontal timeline from 0 to 100 with an orange play-head, grey sign
// markers joined by a red line, and playback at one step per 40 ms.
//
// The clip ends at the scale's end, 100: forwardPlay() moves the play-head
// there; normal playback stops when it reaches the end and rests at 0; loop
// playback continues at the start (99 is followed by 0). Clicking or dragging
// sets the play-head, kept within 0 to 100. removeAllSigns() keeps the sign at
// position 0 and drops all others. As a top scale it is 41 pixels high, which
// puts the backbone at y = 36, where the play-head and the signs point.
class OVUIUTILITY_EXPORT OvScaleWidget : public QwtScaleWidget
{
    Q_OBJECT
public:
    enum PlayMode { NormalPlay = 0, LoopPlay = 1, Stopped = 2 };

    static constexpr int ClipEnd = 100;
    static constexpr int TickInterval = 40;  // ms per step

    explicit OvScaleWidget(QwtScaleDraw::Alignment alignment, QWidget* parent = nullptr);
    ~OvScaleWidget() override;

    int value() const;
    // Moves the play-head (clamped to 0..ClipEnd) and emits valueChanged.
    void setValue(int value);
    int playMode() const;
    bool isPlaying() const;

    QList<int> signs() const;
    // Replaces all signs by the given positions; positions off the scale are dropped.
    void setSigns(const QList<int>& positions);
    // Removes the sign at the play-head, if any.
    void removeSign();
    // Keeps the sign at 0, drops the rest.
    void removeAllSigns();
    // Distance between the last and the first sign, 0 without signs.
    int frameNum() const;

    QPolygon playHead() const;
    QPolygon signMarker(int position) const;
    // The widget x of a scale value, halves rounded upward.
    int pixelFor(double value) const;

    void normalPlay();
    void loopPlay();
    void stopPlay();
    void backPlay();
    void forwardPlay();

signals:
    void updateFrameNum(int frameNum);
    void valueChanged(int value);

public slots:
    // One playback step.
    void startPlay();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void updatePlayHead();
    void placeShapes();
    void setValueFromPixel(int x);
    void signsChanged();

    std::map<int, QPolygon> m_signs;
    bool m_pressed = false;
    int m_value = 0;
    QPolygon m_playHead;
    QTimer* m_timer;
    int m_playMode = Stopped;
};
