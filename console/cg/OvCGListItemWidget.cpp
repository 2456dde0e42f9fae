#include "cg/OvCGListItemWidget.h"

#include "cg/OvCGListModel.h"
#include "cg/OvRunningOrder.h"
#include "cg/OvRunningOrderTable.h"
#include "cg/OvCgStatus.h"
#include "cg/OvSubCGItem.h"

#include <OvUIUtility/OvRepolish.h>
#include <OvUIUtility/HNsNmLayout.h>
#include <OvUIUtility/OvLabel.h>
#include <OvUIUtility/OvViewHelpers.h>
#include <OvUIUtility/VNsNmLayout.h>

#include <QEvent>
#include <QFontMetrics>
#include <QPainter>
#include <QMouseEvent>
#include <QMimeData>
#include <QDrag>
#include <QApplication>
#include <QPixmap>

#include <utility>

namespace {

constexpr int ThumbWidth = 160;
constexpr int ThumbHeight = 90;

// Decoded once: thousands of tiles share the one picture.
const QImage& sendingOverlay()
{
    static const QImage image(QStringLiteral(":/OvCGVestrel/Resources/sending.png"));
    return image;
}

}  // namespace

OvCGListItemWidget::OvCGListItemWidget(const OvRunningOrder* order, QWidget* parent) : QFrame(parent), m_order(order)
{
    setObjectName(QStringLiteral("OvCGListItemWidget"));

    m_pictureLabel = new OvLabel(QStringLiteral("OvCGListItemWidget_m_pictureLabel"), this);
    m_pictureLabel->setAlignment(Qt::AlignCenter);
    m_pictureLabel->installEventFilter(this);

    m_nameLabel = new OvLabel(QStringLiteral("OvCGListItemWidget_m_nameLabel"), this);
    m_nameLabel->setAlignment(Qt::AlignCenter);
    // Names come from the server and from other operators: never markup.
    m_nameLabel->setTextFormat(Qt::PlainText);
    m_nameLabel->installEventFilter(this);

    auto* layout = new VNsNmLayout(nullptr);
    layout->setSpacing(10);
    layout->setContentsMargins(0, 8, 0, 8);
    auto* pictureRow = new HNsNmLayout(nullptr);
    pictureRow->setAlignment(Qt::AlignCenter);
    pictureRow->addWidget(m_pictureLabel);
    layout->addLayout(pictureRow);
    layout->addWidget(m_nameLabel);
    setLayout(layout);

    m_sendingImage = sendingOverlay();
}

OvCGListItemWidget::~OvCGListItemWidget() = default;

void OvCGListItemWidget::setCgItem(OvSubCGItem* item)
{
    if (m_item)
        m_item->disconnect(this);
    m_item = item;
    m_pictureStale = m_nameStale = false;
    m_sending = m_item && !OvCGListModel::instance()->pendingOperationId(m_item).isEmpty();
    refreshConfirmation();
    if (!m_item) {
        m_pictureLabel->clear();
        m_nameLabel->clear();
        return;
    }
    refreshPicture();
    refreshName();
    refresh();
    if (m_item) {
        connect(m_item, &OvSubCGItem::updateData, this, &OvCGListItemWidget::updateData);
        connect(m_item, &QObject::destroyed, this, &OvCGListItemWidget::destroyed);
    }
}

void OvCGListItemWidget::destroyed()
{
    if (m_item)
        m_item->disconnect(this);
    m_item = nullptr;
    emit remove();
}

void OvCGListItemWidget::updateData(int updateType, operatorInfo info)
{
    Q_UNUSED(info)
    if (!m_item)
        return;
    m_pictureStale = m_pictureStale || updateType == OvSubCGItem::ImageUpdate;
    m_nameStale = m_nameStale || updateType == OvSubCGItem::NameUpdate;
    m_apply.request();
}

void OvCGListItemWidget::applyChanges()
{
    if (!m_item)
        return;
    const bool wasSending = m_sending;
    // The overlay shows exactly while the model waits for an answer to this
    // console's request, whichever notification or give-up ends the wait.
    m_sending = !OvCGListModel::instance()->pendingOperationId(m_item).isEmpty();
    if (std::exchange(m_pictureStale, false) || wasSending != m_sending)
        refreshPicture();
    if (std::exchange(m_nameStale, false))
        refreshName();
    refreshConfirmation();
    refresh();
}

void OvCGListItemWidget::refreshConfirmation()
{
    // How healthy the link is: the server's last confirmation of this console's take.
    const int ms = m_item ? m_item->confirmedInMs() : -1;
    if (ms == m_shownConfirmedMs)
        return;
    m_shownConfirmedMs = ms;
    // On the picture, not the tile: a tile without a description of its own
    // would give screen readers its tool tip as one.
    m_pictureLabel->setToolTip(ms == OvSubCGItem::Unconfirmed ? tr("上一次发布未获确认")
                               : ms < 0                        ? QString()
                                                               : tr("确认用时 %1 ms").arg(ms));
}

void OvCGListItemWidget::setHovered(bool hovered)
{
    if (hovered == m_hovered)
        return;
    m_hovered = hovered;
    refresh();
}

void OvCGListItemWidget::mousePressEvent(QMouseEvent* e)
{
    m_pressPos = e->pos();
    if (m_item)
        OvCGListModel::instance()->setCurrentCg(m_item);
}

void OvCGListItemWidget::mouseMoveEvent(QMouseEvent* e)
{
    // Dragged onto the running order, the tile becomes a cue.
    if (!m_item || !(e->buttons() & Qt::LeftButton)
        || (e->pos() - m_pressPos).manhattanLength() < QApplication::startDragDistance()) {
        QFrame::mouseMoveEvent(e);
        return;
    }
    auto* drag = new QDrag(this);
    auto* data = new QMimeData;
    data->setData(OvRunningOrderTable::cueMimeType(), m_item->guid().toLatin1());
    drag->setMimeData(data);
    drag->setPixmap(m_pictureLabel->grab().scaledToWidth(80));
    drag->exec(Qt::CopyAction);
}

void OvCGListItemWidget::enterEvent(QEvent* e)
{
    m_hovered = true;
    refresh();
    QFrame::enterEvent(e);
}

void OvCGListItemWidget::leaveEvent(QEvent* e)
{
    m_hovered = false;
    refresh();
    QFrame::leaveEvent(e);
}

bool OvCGListItemWidget::eventFilter(QObject* watched, QEvent* e)
{
    // The name is measured against the width the style sheet and layout gave
    // the label, known only once it is laid out.
    if (e->type() == QEvent::Resize) {
        if (watched == m_nameLabel)
            refreshName();
        else if (watched == m_pictureLabel && m_tallyLabel)
            m_tallyLabel->move(m_pictureLabel->contentsRect().topLeft() + QPoint(4, 4));
    }
    return QFrame::eventFilter(watched, e);
}

void OvCGListItemWidget::refreshPicture()
{
    if (!m_item)
        return;
    QPixmap picture = m_item->image();
    // Thumbnails are meant to be 160 x 90; anything larger would break the grid.
    if (!picture.isNull() && (picture.width() > ThumbWidth || picture.height() > ThumbHeight))
        picture = picture.scaled(ThumbWidth, ThumbHeight, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    if (m_sending) {
        // Without a thumbnail the overlay still shows, on an empty card, so
        // that an outstanding request is never invisible.
        if (picture.isNull()) {
            picture = QPixmap(ThumbWidth, ThumbHeight);
            picture.fill(Qt::transparent);
        }
        QPainter painter(&picture);
        painter.drawImage(QRect(0, 0, ThumbWidth, ThumbHeight), m_sendingImage);
    }
    m_pictureLabel->setPixmap(picture);
}

void OvCGListItemWidget::refreshName()
{
    if (!m_item)
        return;
    // Line breaks in a name would push the second line out of the label.
    QString name = OvViewHelpers::capped(m_item->name());
    name.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
    const QFontMetrics metrics(m_nameLabel->font());
    const int available = m_nameLabel->contentsRect().width();
    if (metrics.horizontalAdvance(name) > available) {
        m_nameLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        m_nameLabel->setText(metrics.elidedText(name, Qt::ElideRight, available));
    } else {
        m_nameLabel->setAlignment(Qt::AlignCenter);
        m_nameLabel->setText(name);
    }
    m_nameLabel->setToolTip(OvViewHelpers::plainToolTip(m_item->name()));
    setAccessibleName(OvViewHelpers::capped(m_item->name()));
}

void OvCGListItemWidget::refreshTally()
{
    if (!m_item)
        return;
    const int status = m_item->status();
    const bool onAir = OvCgStatus::isOnAir(status);
    if (onAir && !m_tallyLabel) {
        m_tallyLabel = new OvLabel(QStringLiteral("OvCGListItemWidget_m_tallyLabel"), m_pictureLabel);
        m_tallyLabel->setAlignment(Qt::AlignCenter);
        m_tallyLabel->move(m_pictureLabel->contentsRect().topLeft() + QPoint(4, 4));
    }
    if (m_tallyLabel) {
        const QString tally = OvCgStatus::outputName(status);
        if (!tally.isEmpty()) {
            OvRepolish::setType(m_tallyLabel, tally);
            // The running order takes it off air in so many seconds.
            const int left = m_order ? m_order->secondsLeft(QUuid(m_item->guid())) : -1;
            m_tallyLabel->setText(left >= 0 ? QStringLiteral("%1 %2s").arg(tally).arg(left) : tally);
            m_tallyLabel->adjustSize();
        }
        m_tallyLabel->setVisible(onAir);
    }
}

void OvCGListItemWidget::refresh()
{
    if (!m_item)
        return;
    const bool current = m_item->isChecked();
    const int status = m_item->status();

    QString pictureType = QStringLiteral("normal");
    if (m_hovered)
        pictureType = QStringLiteral("hover");
    if (current)
        pictureType = QStringLiteral("checked");
    if (status == OvCgStatus::OnPgm)
        pictureType = QStringLiteral("sendPGM");
    if (status == OvCgStatus::OnPvw)
        pictureType = QStringLiteral("sendPVW");
    OvRepolish::setType(m_pictureLabel, pictureType);

    const QString type = current ? QStringLiteral("checked")
                                 : m_hovered ? QStringLiteral("hover") : QStringLiteral("normal");
    OvRepolish::setType(m_nameLabel, type);
    OvRepolish::setType(this, type);
    refreshTally();

    // What an operator sees, in words, for screen readers and tests.
    const QString state = m_sending ? OvCgStatus::sendingText() : OvCgStatus::outputName(status);
    if (accessibleDescription() != state)
        setAccessibleDescription(state);

    if (current)
        emit currentWidget(this);
}
