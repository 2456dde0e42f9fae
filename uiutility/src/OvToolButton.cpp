#include "OvUIUtility/OvToolButton.h"

#include <QFont>
#include <QPainter>
#include <QPixmap>

OvToolButton::OvToolButton(QWidget* parent) : OvToolButton(QStringLiteral("OvToolButton"), parent) {}

OvToolButton::OvToolButton(const QString& name, QWidget* parent) : QToolButton(parent)
{
    setObjectName(name);
    setAutoRaise(true);
    setAutoFillBackground(true);
}

OvToolButton::~OvToolButton() = default;

void OvToolButton::setText(const QString& text)
{
    m_text = text;
}

QString OvToolButton::paintedText() const
{
    return m_text;
}

void OvToolButton::setDisabledDownArrow()
{
    m_downArrowHidden = true;
}

bool OvToolButton::disabledDownArrow() const
{
    return m_downArrowHidden;
}

void OvToolButton::resetDefaultObjectName()
{
    setObjectName(QStringLiteral("OvToolButton"));
}

void OvToolButton::paintEvent(QPaintEvent* event)
{
    QToolButton::paintEvent(event);
    drawArrow(QStringLiteral(":/icon/resources/images/down_arrow.png"));
    drawText(Qt::white);
}

void OvToolButton::drawArrow(const QString& imagePath)
{
    if (m_downArrowHidden)
        return;
    const QPixmap arrow(imagePath);
    if (arrow.isNull())
        return;
    QPainter painter(this);
    painter.drawPixmap(width() * 3 / 4, (height() - arrow.height()) / 2, arrow);
}

void OvToolButton::drawText(const QColor& color)
{
    QPainter painter(this);
    QFont font(QStringLiteral("微软雅黑"));
    font.setPixelSize(14);
    painter.setFont(font);
    painter.setPen(color);
    painter.drawText(QRect(0, 0, width() * 3 / 4, height()), Qt::AlignHCenter | Qt::AlignVCenter, m_text);
}
