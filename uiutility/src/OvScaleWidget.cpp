#include "OvUIUtility/OvScaleWidget.h"

#include <qwt_scale_engine.h>
#include <qwt_scale_map.h>

#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

#include <cmath>

namespace {
const QColor playHeadColour(255, 109, 11);
const QColor signColour(165, 165, 165);
const QColor signLineColour(213, 48, 48);

// Half width of the play-head once it has been placed; the first shape is narrower.
constexpr int playHeadHalfWidth = 6;
constexpr int scaleMargin = 4;

QPolygon signShape(int x)
{
    return QPolygon({QPoint(x, 36), QPoint(x - 4, 30), QPoint(x - 4, 24), QPoint(x + 4, 24), QPoint(x + 4, 30)});
}
}  // namespace

OvScaleWidget::OvScaleWidget(QwtScaleDraw::Alignment alignment, QWidget* parent)
    : QwtScaleWidget(alignment, parent), m_timer(new QTimer(this))
{
    setObjectName(QStringLiteral("OvScaleWidget"));
    const QwtLinearScaleEngine engine(10);
    setScaleDiv(engine.divideScale(0.0, double(ClipEnd), 20, 10));
    if (alignment == QwtScaleDraw::TopScale) {
        // The play-head and sign shapes point down to y = 36: put the backbone there.
        setMargin(scaleMargin);
        setFixedHeight(36 + scaleMargin + 1);
    }
    setMouseTracking(true);
    const int x = pixelFor(m_value);
    m_playHead = QPolygon({QPoint(x, 36), QPoint(x - 4, 28), QPoint(x - 4, 18), QPoint(x + 4, 18), QPoint(x + 4, 28)});
    m_timer->setInterval(TickInterval);
    m_timer->setTimerType(Qt::PreciseTimer);
    connect(m_timer, &QTimer::timeout, this, &OvScaleWidget::startPlay);
}

OvScaleWidget::~OvScaleWidget() = default;

int OvScaleWidget::value() const
{
    return m_value;
}

void OvScaleWidget::setValue(int value)
{
    m_value = qBound(0, value, int(ClipEnd));
    updatePlayHead();
}

int OvScaleWidget::playMode() const
{
    return m_playMode;
}

bool OvScaleWidget::isPlaying() const
{
    return m_timer->isActive();
}

QList<int> OvScaleWidget::signs() const
{
    QList<int> positions;
    for (const auto& sign : m_signs)
        positions.append(sign.first);
    return positions;
}

void OvScaleWidget::setSigns(const QList<int>& positions)
{
    m_signs.clear();
    for (const int position : positions) {
        // A sign off the scale could never be reached or removed.
        if (position >= 0 && position <= ClipEnd)
            m_signs[position] = signShape(pixelFor(position));
    }
    signsChanged();
}

void OvScaleWidget::removeSign()
{
    if (m_signs.erase(m_value) > 0)
        signsChanged();
}

void OvScaleWidget::removeAllSigns()
{
    const auto zero = m_signs.find(0);
    if (m_signs.size() == (zero == m_signs.end() ? 0u : 1u))
        return;
    std::map<int, QPolygon> kept;
    if (zero != m_signs.end())
        kept.insert(*zero);
    m_signs.swap(kept);
    signsChanged();
}

int OvScaleWidget::frameNum() const
{
    return m_signs.empty() ? 0 : m_signs.rbegin()->first - m_signs.begin()->first;
}

QPolygon OvScaleWidget::playHead() const
{
    return m_playHead;
}

QPolygon OvScaleWidget::signMarker(int position) const
{
    const auto it = m_signs.find(position);
    return it == m_signs.end() ? QPolygon() : it->second;
}

int OvScaleWidget::pixelFor(double value) const
{
    return int(std::floor(scaleDraw()->scaleMap().transform(value) + 0.5));
}

void OvScaleWidget::normalPlay()
{
    m_playMode = NormalPlay;
    m_timer->start(TickInterval);
}

void OvScaleWidget::loopPlay()
{
    m_playMode = LoopPlay;
    m_timer->start(TickInterval);
}

void OvScaleWidget::stopPlay()
{
    m_playMode = Stopped;
    m_timer->stop();
}

void OvScaleWidget::backPlay()
{
    m_value = 0;
    updatePlayHead();
}

void OvScaleWidget::forwardPlay()
{
    m_value = ClipEnd;
    updatePlayHead();
}

void OvScaleWidget::startPlay()
{
    ++m_value;
    if (m_value >= ClipEnd) {
        m_value = 0;
        if (m_playMode != LoopPlay)
            stopPlay();
    }
    updatePlayHead();
}

void OvScaleWidget::updatePlayHead()
{
    const int x = pixelFor(m_value);
    m_playHead.setPoint(0, x, m_playHead.point(0).y());
    for (const int i : {1, 2})
        m_playHead.setPoint(i, x - playHeadHalfWidth, m_playHead.point(i).y());
    for (const int i : {3, 4})
        m_playHead.setPoint(i, x + playHeadHalfWidth, m_playHead.point(i).y());
    emit valueChanged(m_value);
    update();
}

void OvScaleWidget::placeShapes()
{
    for (auto& sign : m_signs)
        sign.second = signShape(pixelFor(sign.first));
    const int x = pixelFor(m_value);
    const int half = (m_playHead.point(3).x() - m_playHead.point(1).x()) / 2;
    m_playHead.setPoint(0, x, m_playHead.point(0).y());
    for (const int i : {1, 2})
        m_playHead.setPoint(i, x - half, m_playHead.point(i).y());
    for (const int i : {3, 4})
        m_playHead.setPoint(i, x + half, m_playHead.point(i).y());
}

void OvScaleWidget::signsChanged()
{
    update();
    emit updateFrameNum(frameNum());
}

void OvScaleWidget::setValueFromPixel(int x)
{
    const double v = scaleDraw()->scaleMap().invTransform(x);
    m_value = qBound(0, int(std::lround(v)), int(ClipEnd));
    updatePlayHead();
}

void OvScaleWidget::paintEvent(QPaintEvent* event)
{
    QwtScaleWidget::paintEvent(event);
    placeShapes();

    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(playHeadColour, 1, Qt::SolidLine, Qt::SquareCap, Qt::RoundJoin));
    painter.setBrush(playHeadColour);
    painter.drawPolygon(m_playHead);

    painter.setPen(QPen(signColour, 1, Qt::SolidLine, Qt::SquareCap, Qt::RoundJoin));
    painter.setBrush(signColour);
    QPolygon tips;
    for (const auto& sign : m_signs) {
        painter.drawPolygon(sign.second);
        tips.append(sign.second.point(0));
    }
    // The line along the scale that joins the signs, kept one crisp pixel high.
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(signLineColour, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawPolyline(tips);
}

void OvScaleWidget::mousePressEvent(QMouseEvent* event)
{
    m_pressed = true;
    setValueFromPixel(event->pos().x());
    QwtScaleWidget::mousePressEvent(event);
}

void OvScaleWidget::mouseMoveEvent(QMouseEvent* event)
{
    if (m_pressed) {
        setValueFromPixel(event->pos().x());
        emit updateFrameNum(frameNum());
    }
    QwtScaleWidget::mouseMoveEvent(event);
}

void OvScaleWidget::mouseReleaseEvent(QMouseEvent* event)
{
    m_pressed = false;
    emit valueChanged(m_value);
    QwtScaleWidget::mouseReleaseEvent(event);
}

void OvScaleWidget::resizeEvent(QResizeEvent* event)
{
    QwtScaleWidget::resizeEvent(event);
    placeShapes();
}
