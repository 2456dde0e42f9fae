#include "OvUIUtility/OvLabel.h"

#include "OvUIUtility/OvRepolish.h"

#include <QMouseEvent>

namespace {
// Values of the "color" property, indexed by LabelType.
const QStringList& labelColors()
{
    static const QStringList colors{QStringLiteral("label_black")};
    return colors;
}
}  // namespace

OvLabel::OvLabel(QWidget* parent) : OvLabel(QStringLiteral("OvLabel"), parent) {}

OvLabel::OvLabel(const QString& name, QWidget* parent) : QLabel(parent)
{
    setObjectName(name);
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

OvLabel::~OvLabel() = default;

void OvLabel::connectClicked(const QObject* receiver, const char* member, Qt::ConnectionType type)
{
    connect(this, SIGNAL(clicked()), receiver, member, type);
    m_clickMode = PlainClick;
}

void OvLabel::connectClicked(const QObject* context, std::function<void()> f, Qt::ConnectionType type)
{
    connect(this, &OvLabel::clicked, context, std::move(f), type);
    m_clickMode = PlainClick;
}

void OvLabel::connectDbClicked(const QObject* receiver, const char* member, Qt::ConnectionType type)
{
    connect(this, SIGNAL(dbClicked()), receiver, member, type);
    m_clickMode = PlainClick;
}

void OvLabel::connectClickedData(const QObject* receiver, const char* member, Qt::ConnectionType type)
{
    connect(this, SIGNAL(clickedData(QVariant)), receiver, member, type);
    m_clickMode = DataClick;
}

void OvLabel::setData(const QVariant& data)
{
    m_data = data;
}

QVariant OvLabel::getData() const
{
    return m_data;
}

int OvLabel::clickMode() const
{
    return m_clickMode;
}

void OvLabel::disableClick()
{
    m_clickMode = NoClick;
}

bool OvLabel::emitClickedEvent()
{
    switch (m_clickMode) {
    case DataClick:
        emit clickedData(m_data);
        return true;
    case PlainClick:
        emit clicked();
        return true;
    default:
        return false;
    }
}

bool OvLabel::emitDbClickedEvent()
{
    switch (m_clickMode) {
    case DataClick:
        emit dbClickedData(m_data);
        return true;
    case PlainClick:
        emit dbClicked();
        return true;
    default:
        return false;
    }
}

void OvLabel::setType(LabelType type)
{
    OvRepolish::setStyleProperty(this, "color", labelColors().value(type));
}

void OvLabel::resetDefaultObjectName()
{
    setObjectName(QStringLiteral("OvLabel"));
}

void OvLabel::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && emitClickedEvent())
        return;
    QLabel::mousePressEvent(event);
}

void OvLabel::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (emitDbClickedEvent())
        return;
    QLabel::mousePressEvent(event);
}
