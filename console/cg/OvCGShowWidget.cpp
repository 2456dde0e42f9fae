#include "cg/OvCGShowWidget.h"

#include "cg/OvCGCustomLabel.h"
#include "cg/OvCGScrollareaWidget.h"
#include "cg/OvCGSearchField.h"
#include "cg/OvRunningOrderPanel.h"
#include "cg/OvSearchFilter.h"
#include "log/OvCGOperationLogListWidget.h"
#include "net/OvTransferServer.h"

#include <OvUIUtility/OvRepolish.h>
#include <OvUIUtility/HNsNmLayout.h>
#include <OvUIUtility/OvButton.h>
#include <OvUIUtility/OvGrayButton.h>
#include <OvUIUtility/OvLabel.h>
#include <OvUIUtility/OvViewHelpers.h>
#include <OvUIUtility/VNsNmLayout.h>

#include <QRect>
#include <QSplitter>

namespace {

constexpr int CgAreaMinWidth = 194;
constexpr int LogPaneMinWidth = 125;
constexpr int HotZoneWidth = 15;

}  // namespace

OvCGShowWidget::OvCGShowWidget(OvSearchFilter* filter, OvRunningOrder* order, QWidget* parent)
    : QFrame(parent), m_filter(filter)
{
    setObjectName(QStringLiteral("OvCGShowWidget"));

    m_grid = new OvCGScrollareaWidget(filter, order, nullptr);
    connect(m_grid, &OvCGScrollareaWidget::mouseMove, this, &OvCGShowWidget::onChildMouseMove);

    auto* cgArea = new QFrame(nullptr);
    cgArea->setObjectName(QStringLiteral("OvCGShowWidget_cgArea"));
    cgArea->setMinimumWidth(CgAreaMinWidth);
    auto* cgLayout = new VNsNmLayout(nullptr);

    m_search = new OvCGSearchField(nullptr);
    m_search->setMaximumWidth(360);
    m_searchCount = new OvLabel(QStringLiteral("OvCGShowWidget_search_count"), nullptr);
    auto* searchLayout = new HNsNmLayout(nullptr);
    searchLayout->setContentsMargins(5, 0, 5, 6);
    searchLayout->setSpacing(8);
    searchLayout->addWidget(m_search);
    searchLayout->addWidget(m_searchCount);
    searchLayout->addStretch();
    m_searchRow = new QFrame(nullptr);
    m_searchRow->setObjectName(QStringLiteral("OvCGShowWidget_search_row"));
    m_searchRow->setLayout(searchLayout);
    m_searchRow->hide();
    cgLayout->addWidget(m_searchRow);
    connect(m_search, &QLineEdit::textChanged, filter, &OvSearchFilter::setText);
    connect(m_grid, &OvCGScrollareaWidget::shownChanged, this, &OvCGShowWidget::updateSearchCount);
    connect(m_search, &OvCGSearchField::chosen, this, [this] {
        // Without a match the keyboard stays here: the single keys would
        // otherwise act on a current item the filter hides.
        if (m_filter->selectFirstShown())
            leaveSearch();
    });
    connect(m_search, &OvCGSearchField::dismissed, this, &OvCGShowWidget::leaveSearch);
    // Kept shown while disconnected only as long as the operator types in it.
    connect(m_search, &OvCGSearchField::focusLeft, this, [this] {
        if (!m_grid->isVisibleTo(this))
            m_searchRow->hide();
    });

    cgLayout->addWidget(m_grid);
    m_grid->hide();

    m_tips = new OvCGCustomLabel(nullptr);
    m_tips->setAlignment(Qt::AlignCenter);
    m_tips->setWordWrap(true);
    m_tips->setTextFormat(Qt::PlainText);
    OvRepolish::setType(m_tips, QStringLiteral("OvCGVestrel_m_tips"));
    m_tips->setText(tr("连接局域网内“采编录播一体化系统”以获取CG列表"));
    cgLayout->addWidget(m_tips);
    cgArea->setLayout(cgLayout);
    connect(m_tips, &OvCGCustomLabel::mouseMove, this, &OvCGShowWidget::onChildMouseMove);

    auto* title = new OvLabel(QStringLiteral("OvCGShowWidget_title_label"), nullptr);
    title->setText(tr("操作日志"));

    m_clearButton = new OvGrayButton(nullptr, QString());
    m_clearButton->setToolTip(tr("清空操作日志"));
    m_clearButton->setAccessibleName(tr("清空操作日志"));
    m_clearButton->setFocusPolicy(Qt::NoFocus);
    m_clearButton->setType(QStringLiteral("OvCGShowWidget_clear_log_button"));

    auto* titleRow = new HNsNmLayout(nullptr);
    titleRow->setContentsMargins(0, 0, 5, 0);
    titleRow->addWidget(title);
    titleRow->addStretch();
    titleRow->addWidget(m_clearButton);

    m_logList = new OvCGOperationLogListWidget(nullptr);
    m_logList->setWordWrap(true);
    // A screen reader names the list as the pane's title does.
    m_logList->setAccessibleName(title->text());
    connect(m_logList, &OvCGOperationLogListWidget::mouseMove, this, &OvCGShowWidget::onChildMouseMove);
    connect(m_logList, &OvCGOperationLogListWidget::resizeWidget, this, [this] { m_showButton->hide(); });
    connect(m_clearButton, &QPushButton::clicked, m_logList, &OvCGOperationLogListWidget::clear);

    auto* logLayout = new VNsNmLayout(nullptr);
    logLayout->addLayout(titleRow);
    logLayout->addWidget(m_logList);
    m_logPane = new QFrame(nullptr);
    m_logPane->setObjectName(QStringLiteral("operation_frame"));
    m_logPane->setLayout(logLayout);

    // The running order sits between the tiles and the log, in a splitter of
    // its own: the log pane's width rules stay those of the outer one.
    m_cuePanel = new OvRunningOrderPanel(order, nullptr);
    connect(m_cuePanel, &OvRunningOrderPanel::mouseMove, this, &OvCGShowWidget::onChildMouseMove);
    auto* cueSplitter = new QSplitter(Qt::Horizontal, nullptr);
    cueSplitter->setObjectName(QStringLiteral("OvCGShowWidget_cueSplitter"));
    cueSplitter->addWidget(cgArea);
    cueSplitter->addWidget(m_cuePanel);
    cueSplitter->setStretchFactor(0, 1);
    cueSplitter->setStretchFactor(1, 0);
    cueSplitter->setCollapsible(0, false);
    cueSplitter->setCollapsible(1, false);
    cueSplitter->setSizes({740, 300});

    m_splitter = new QSplitter(Qt::Horizontal, nullptr);
    m_splitter->addWidget(cueSplitter);
    m_splitter->addWidget(m_logPane);
    m_splitter->setStretchFactor(0, 9);
    m_splitter->setStretchFactor(1, 1);
    m_splitter->setCollapsible(1, false);
    connect(m_splitter, &QSplitter::splitterMoved, this, &OvCGShowWidget::onSplitterMoved);

    connect(OvTransferServer::instance(), &OvTransferServer::signalConnect, this, &OvCGShowWidget::onConnectChanged);

    auto* layout = new VNsNmLayout(nullptr);
    layout->addWidget(m_splitter);
    setLayout(layout);

    m_showButton = new OvButton(QStringLiteral("OvCGListShowWidget_m_showButton"), this);
    m_showButton->hide();
    m_showButton->setFocusPolicy(Qt::NoFocus);
    OvRepolish::setType(m_showButton, QStringLiteral("expand"));
    m_showButton->setCheckable(true);
    connect(m_showButton, &QPushButton::clicked, this, &OvCGShowWidget::toggleLogPane);
    updateToggleButtonText();

    setMouseTracking(true);
}

OvCGShowWidget::~OvCGShowWidget() = default;

void OvCGShowWidget::onConnectChanged(bool connected)
{
    m_grid->setVisible(connected);
    // A connection lost while the operator types in the search must not throw
    // the keyboard to the window, where the next letters would act as single
    // keys after a reconnection: the field keeps it.
    if (connected || window()->focusWidget() != m_search)
        m_searchRow->setVisible(connected);
    m_tips->setVisible(!connected);
}

void OvCGShowWidget::focusSearch()
{
    if (!m_searchRow->isVisible())
        return;
    m_search->setFocus(Qt::ShortcutFocusReason);
    m_search->selectAll();
}

void OvCGShowWidget::leaveSearch()
{
    // The window takes the keys again: the single keys act on the tiles.
    if (QWidget* const top = window())
        top->setFocus(Qt::OtherFocusReason);
}

void OvCGShowWidget::updateSearchCount(int shown, int total)
{
    m_searchCount->setText(!m_filter->isActive() ? QString() : QStringLiteral("%1 / %2").arg(shown).arg(total));
}

void OvCGShowWidget::onSplitterMoved(int pos, int index)
{
    Q_UNUSED(pos)
    Q_UNUSED(index)
    m_logPane->setMinimumWidth(LogPaneMinWidth);
    m_logPane->setMaximumWidth(qMax(LogPaneMinWidth, width() - CgAreaMinWidth));
    m_logWidth = m_logPane->width();
}

void OvCGShowWidget::onChildMouseMove(QPoint pos)
{
    // Children report points in their own parent's coordinates (the CG area,
    // the log pane); the hot zone is worked out in this widget's.
    if (const auto* child = qobject_cast<const QWidget*>(sender())) {
        if (const QWidget* from = child->parentWidget(); from && from != this)
            pos = from->mapTo(this, pos);
    }
    QRect hotZone(width() - HotZoneWidth, 0, HotZoneWidth, height());
    QPoint place(width() - m_showButton->width(), height() / 2 - m_showButton->height() / 2);
    if (m_logWidth != 0 && m_logPane->isVisible()) {
        // Beside the splitter handle: the button's own strip and the handle,
        // with a margin either side.
        const int handle = m_splitter->handleWidth();
        const int paneLeft = m_logPane->mapTo(this, QPoint(0, 0)).x();
        place = QPoint(paneLeft - m_showButton->width() - handle, height() / 2 - m_showButton->height() / 2);
        hotZone = QRect(place.x() - HotZoneWidth, 0, m_showButton->width() + handle + 2 * HotZoneWidth, height());
    }
    if (hotZone.contains(pos)) {
        m_showButton->move(place);
        m_showButton->show();
    } else {
        m_showButton->hide();
    }
}

void OvCGShowWidget::toggleLogPane()
{
    m_logPane->setVisible(!m_logPane->isVisible());
    // Back on top of its siblings, hidden until the pointer comes near again.
    m_showButton->setParent(nullptr);
    m_showButton->hide();
    m_showButton->setParent(this);
    OvRepolish::setType(m_showButton, m_logPane->isVisible() ? QStringLiteral("expand") : QStringLiteral("collapse"));
    updateToggleButtonText();
}

void OvCGShowWidget::updateToggleButtonText()
{
    // Icon-only: screen readers hear what a press does.
    const bool expanded = !m_logPane->isHidden();
    const QString action = expanded ? tr("收起操作日志") : tr("展开操作日志");
    m_showButton->setAccessibleName(action);
    m_showButton->setToolTip(action);
    m_showButton->setChecked(!expanded);
}

void OvCGShowWidget::leaveEvent(QEvent* e)
{
    m_showButton->hide();
    QFrame::leaveEvent(e);
}

void OvCGShowWidget::resizeEvent(QResizeEvent* e)
{
    if (m_logWidth != 0) {
        m_logPane->setMinimumWidth(m_logWidth);
        m_logPane->setMaximumWidth(m_logWidth);
    }
    QFrame::resizeEvent(e);
}

void OvCGShowWidget::showEvent(QShowEvent* e)
{
    QFrame::showEvent(e);
    // While the width is pinned the pane may not have been laid out to it yet;
    // the pinned width is then the one that counts.
    if (m_logPane->minimumWidth() != m_logPane->maximumWidth() || m_logPane->minimumWidth() != m_logWidth)
        m_logWidth = m_logPane->width();
}
