#include "OvUIUtility/OvTrackSettingWidget.h"

#include "OvUIUtility/HNsNmLayout.h"
#include "OvUIUtility/OvButton.h"
#include "OvUIUtility/OvLabel.h"
#include "OvUIUtility/OvScaleWidget.h"
#include "OvUIUtility/VNsNmLayout.h"

OvTrackSettingWidget::OvTrackSettingWidget(QwtScaleDraw::Alignment alignment, QWidget* parent) : QWidget(parent)
{
    Q_UNUSED(alignment)
    setObjectName(QStringLiteral("OvTrackSettingWidget"));
    setAttribute(Qt::WA_StyledBackground, true);
    initUi();
}

OvTrackSettingWidget::~OvTrackSettingWidget() = default;

OvButton* OvTrackSettingWidget::makeButton(const char* name, const QString& text, const QString& accessibleName)
{
    auto* button = new OvButton(QString::fromLatin1(name), this);
    button->setText(text);
    button->setToolTip(accessibleName);
    button->setAccessibleName(accessibleName);
    return button;
}

void OvTrackSettingWidget::initUi()
{
    m_addSign = makeButton("OvTrackSettingWidget_m_addSign", QStringLiteral("+"), tr("添加标记"));
    m_removeSign = makeButton("OvTrackSettingWidget_m_removeSign", QStringLiteral("−"), tr("删除标记"));
    m_removeAllSign =
        makeButton("OvTrackSettingWidget_m_removeAllSign", QStringLiteral("×"), tr("删除全部标记"));
    OvButton* stop = makeButton("OvTrackSettingWidget_stopPlay", QStringLiteral("■"), tr("停止"));
    OvButton* back = makeButton("OvTrackSettingWidget_backPlay", QStringLiteral("◀◀"), tr("回到开头"));
    OvButton* play = makeButton("OvTrackSettingWidget_normalPlay", QStringLiteral("▶"), tr("播放"));
    OvButton* forward =
        makeButton("OvTrackSettingWidget_forwardPlay", QStringLiteral("▶▶"), tr("跳到结尾"));
    OvButton* loop = makeButton("OvTrackSettingWidget_loopPlay", QStringLiteral("↻"), tr("循环播放"));

    m_scale = new OvScaleWidget(QwtScaleDraw::TopScale, nullptr);

    auto* frameNumWidget = new OvLabel(QStringLiteral("OvTrackSettingWidget_frameNumWidget"), this);
    auto* frameNumLable = new OvLabel(QStringLiteral("OvTrackSettingWidget_frameNumLable"), frameNumWidget);
    frameNumLable->setText(tr("帧数:"));
    m_frameLabel = new OvLabel(QStringLiteral("OvTrackSettingWidget_m_frameLabel"), frameNumWidget);
    m_frameLabel->setText(QStringLiteral("0"));
    m_frameLabel->setProperty("type", QStringLiteral("frameLabel"));
    auto* frameRow = new HNsNmLayout(frameNumWidget);
    frameRow->setSpacing(5);
    frameRow->addStretch();
    frameRow->addWidget(frameNumLable);
    frameRow->addWidget(m_frameLabel);

    auto* upWidget = new OvLabel(QStringLiteral("OvTrackSettingWidget_upWidget"), this);
    auto* row = new HNsNmLayout(upWidget);
    row->setAlignment(Qt::AlignCenter);
    row->setContentsMargins(10, 0, 20, 0);
    row->setSpacing(10);
    for (OvButton* button : {m_addSign, m_removeSign, m_removeAllSign}) {
        button->setParent(upWidget);
        row->addWidget(button);
    }
    row->addStretch();
    for (OvButton* button : {stop, back, play, forward, loop}) {
        button->setParent(upWidget);
        row->addWidget(button);
    }
    row->addStretch();
    row->addWidget(frameNumWidget);

    auto* column = new VNsNmLayout(this);
    column->addWidget(upWidget);
    column->addWidget(m_scale);

    connect(m_addSign, &OvButton::clicked, this, &OvTrackSettingWidget::signalAddSign);
    connect(m_removeSign, &OvButton::clicked, this, [this]() {
        if (m_scale->value() != 0)
            m_scale->removeSign();
    });
    connect(m_removeAllSign, &OvButton::clicked, m_scale, &OvScaleWidget::removeAllSigns);
    connect(m_scale, &OvScaleWidget::updateFrameNum, m_frameLabel,
            [this](int frameNum) { m_frameLabel->setText(QString::number(frameNum)); });
    connect(stop, &OvButton::clicked, m_scale, &OvScaleWidget::stopPlay);
    connect(back, &OvButton::clicked, m_scale, &OvScaleWidget::backPlay);
    connect(play, &OvButton::clicked, m_scale, &OvScaleWidget::normalPlay);
    connect(forward, &OvButton::clicked, m_scale, &OvScaleWidget::forwardPlay);
    connect(loop, &OvButton::clicked, m_scale, &OvScaleWidget::loopPlay);
    connect(m_scale, &OvScaleWidget::valueChanged, this, &OvTrackSettingWidget::valueChanged);
}

void OvTrackSettingWidget::updateData(const QList<int>& positions)
{
    m_scale->setSigns(positions);
}

int OvTrackSettingWidget::addSign() const
{
    return m_scale->value();
}

void OvTrackSettingWidget::setEnableTrace(bool enable)
{
    for (OvButton* button : {m_addSign, m_removeSign, m_removeAllSign})
        button->setEnabled(enable);
    m_scale->update();
}

OvScaleWidget* OvTrackSettingWidget::scaleWidget() const
{
    return m_scale;
}

void OvTrackSettingWidget::valueChanged(int value)
{
    emit updateSignProperty(value);
}
