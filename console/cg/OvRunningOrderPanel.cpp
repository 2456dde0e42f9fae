#include "cg/OvRunningOrderPanel.h"

#include "cg/OvCGListModel.h"
#include "cg/OvRunningOrder.h"
#include "cg/OvRunningOrderDelegate.h"
#include "cg/OvRunningOrderTable.h"
#include "cg/OvSubCGItem.h"
#include "net/OvTransferServer.h"
#include "shortcut/OvKeyMap.h"
#include "shortcut/OvShortcutKey.h"

#include <OvUIUtility/HNsNmLayout.h>
#include <OvUIUtility/OvGrayButton.h>
#include <OvUIUtility/OvLabel.h>
#include <OvUIUtility/OvViewHelpers.h>
#include <OvUIUtility/VNsNmLayout.h>

#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QShortcut>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTableView>

namespace {

OvGrayButton* button(QWidget* parent, const QString& type, const QString& text, const QString& name)
{
    auto* b = new OvGrayButton(parent, QString());
    b->setType(type);
    b->setText(text);
    b->setAccessibleName(name);
    b->setToolTip(name);
    // The keys stay with the main window and its shortcuts.
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

}  // namespace

OvRunningOrderPanel::OvRunningOrderPanel(OvRunningOrder* order, QWidget* parent) : QFrame(parent), m_order(order)
{
    setObjectName(QStringLiteral("OvRunningOrderPanel"));
    setAccessibleName(tr("串联单"));

    m_title = new OvLabel(QStringLiteral("OvCGShowWidget_title_label"), this);
    m_title->setText(tr("串联单"));
    m_add = button(this, QStringLiteral("OvRunningOrder_add"), tr("加入"), tr("加入"));
    m_add->setToolTip(tr("把当前CG加入串联单（Insert）"));
    m_clear = button(this, QStringLiteral("OvRunningOrder_clear"), tr("清空"), tr("清空串联单"));
    m_collapse = button(this, QStringLiteral("OvRunningOrder_collapse"), QStringLiteral("›"), tr("收起串联单"));
    m_go = button(this, QStringLiteral("OvRunningOrder_go"), QStringLiteral("GO"), tr("执行下一条"));
    // The face follows the panel's width, whatever the name's length.
    m_go->setSizePolicy(QSizePolicy::Ignored, m_go->sizePolicy().verticalPolicy());
    m_go->installEventFilter(this);

    m_model = new OvRunningOrderTable(order, this);
    m_table = new QTableView(this);
    m_table->setObjectName(QStringLiteral("OvRunningOrderTable"));
    m_table->setAccessibleName(tr("串联单"));
    m_table->setModel(m_model);
    m_table->setItemDelegate(new OvRunningOrderDelegate(m_model, m_table));
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setDefaultSectionSize(26);
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    // Fixed widths: sizing columns to their contents reads all 10,000 rows at every change.
    QHeaderView* const header = m_table->horizontalHeader();
    header->setMinimumSectionSize(18);
    header->setSectionResizeMode(QHeaderView::Fixed);
    header->setSectionResizeMode(OvRunningOrderTable::NameColumn, QHeaderView::Stretch);
    header->resizeSection(OvRunningOrderTable::PositionColumn, 30);
    header->resizeSection(OvRunningOrderTable::DurationColumn, 50);
    header->resizeSection(OvRunningOrderTable::NextColumn, 50);
    header->resizeSection(OvRunningOrderTable::RemoveColumn, 34);
    m_table->setDragEnabled(true);
    m_table->setAcceptDrops(true);
    m_table->setDropIndicatorShown(true);
    m_table->setDragDropMode(QAbstractItemView::DragDrop);
    m_table->setDefaultDropAction(Qt::MoveAction);
    // The arrows and single keys belong to the tiles: the table takes the
    // keyboard only to edit a duration.
    m_table->setFocusPolicy(Qt::ClickFocus);

    auto* titleRow = new HNsNmLayout(nullptr);
    titleRow->setContentsMargins(0, 0, 5, 0);
    titleRow->addWidget(m_title);
    titleRow->addStretch();
    titleRow->addWidget(m_add);
    titleRow->addWidget(m_clear);
    titleRow->addWidget(m_collapse);
    auto* layout = new VNsNmLayout(this);
    layout->addLayout(titleRow);
    layout->addWidget(m_table);
    layout->addWidget(m_go);

    connect(m_add, &QPushButton::clicked, this, &OvRunningOrderPanel::addCurrent);
    connect(m_clear, &QPushButton::clicked, this, &OvRunningOrderPanel::clearRequested);
    connect(m_collapse, &QPushButton::clicked, this, [this] { setCollapsed(!isCollapsed()); });
    connect(m_go, &QPushButton::clicked, order, [order] { order->go(OvTakeCommand::RunningOrder); });
    connect(m_table, &QTableView::clicked, this, [order](const QModelIndex& index) {
        if (index.column() == OvRunningOrderTable::RemoveColumn)
            order->remove(index.row());
        else
            order->setNext(index.row());
    });

    // While the main window has the keyboard; a field that edits text keeps
    // Delete and the arrows for itself.
    const auto key = [this](const QKeySequence& sequence, auto slot) {
        auto* shortcut = new QShortcut(sequence, this);
        shortcut->setContext(Qt::WindowShortcut);
        shortcut->setAutoRepeat(false);
        connect(shortcut, &QShortcut::activated, this, slot);
    };
    key(QKeySequence(Qt::Key_Insert), [this] { addCurrent(); });
    key(QKeySequence(Qt::Key_Delete), [this] { removeSelected(); });
    key(QKeySequence(Qt::AltModifier | Qt::Key_Up), [this] { moveSelected(-1); });
    key(QKeySequence(Qt::AltModifier | Qt::Key_Down), [this] { moveSelected(1); });
    setAcceptDrops(true);
    setMouseTracking(true);
    m_table->setMouseTracking(true);
    m_table->viewport()->installEventFilter(this);
    m_table->installEventFilter(this);
    // The order read from its file resets the table: the selected row stays
    // selected. Other edits move the selection with its cue, row by row.
    connect(m_model, &QAbstractItemModel::modelAboutToBeReset, this, [this] { m_keptRow = selectedRow(); });
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] { selectRow(m_keptRow); });
    m_table->setAlternatingRowColors(true);
    // Read from its file: it may be open on another console.
    connect(order, &OvRunningOrder::cuesReset, this, &OvRunningOrderPanel::showReadOnly);
    showReadOnly();
    // Once a turn: a catalogue of 100,000 items arrives one item at a time.
    connect(order, &OvRunningOrder::changed, this, [this] { m_goFace.request(); });
    connect(OvTransferServer::instance(), &OvTransferServer::signalConnect, this, [this] { m_goFace.request(); });
    showNextOnGo();
}

void OvRunningOrderPanel::showReadOnly()
{
    const bool readOnly = m_order->isReadOnly();
    m_title->setText(readOnly ? tr("串联单（只读）") : tr("串联单"));
    const QString why = readOnly ? tr("这里只读：串联单不会保存（原因见操作日志）") : QString();
    m_title->setToolTip(why);
    setAccessibleDescription(why);
    m_add->setEnabled(!readOnly);
    m_clear->setEnabled(!readOnly);
}

void OvRunningOrderPanel::showNextOnGo()
{
    const OvSubCGItem* const item = m_order->nextItem();
    // One line: a name may hold line breaks.
    const QString name = item ? OvViewHelpers::capped(item->name()).simplified() : QString();
    // Away from the server every cue is greyed, the marked one too.
    const QString none = OvTransferServer::instance()->isLoggedIn()
                             ? tr("无下一条")
                             : tr("未连接");
    const QString said = item ? tr("下一条：%1").arg(name) : none;
    // The accessible name stays "执行下一条", which finds the button; what
    // it takes is its description.
    m_go->setAccessibleDescription(said);
    // Escaped: a tool tip would take a name in angle brackets for markup.
    m_go->setToolTip(QStringLiteral("<p>%1<br>%2</p>")
                         .arg(tr("执行下一条（%1）").arg(OvKeyMap::current().keyText(OvKeyMap::Go)).toHtmlEscaped(),
                              said.toHtmlEscaped()));
    // "GO" always shows; the name gets what is left of the width.
    const QString go = item ? QStringLiteral("GO ▸ ") : QStringLiteral("GO · ");
    const QString rest = item ? name : none;
    QStyleOptionButton option;
    option.initFrom(m_go);
    const QFontMetrics metrics = m_go->fontMetrics();
    const int room = m_go->style()->subElementRect(QStyle::SE_PushButtonContents, &option, m_go).width()
                     - metrics.horizontalAdvance(go);
    const QString shown = metrics.elidedText(rest, Qt::ElideRight, qMax(0, room));
    m_go->setText(shown.isEmpty() || shown == QStringLiteral("…") ? QStringLiteral("GO") : go + shown);
}

bool OvRunningOrderPanel::eventFilter(QObject* watched, QEvent* e)
{
    // A click on a cue gives the table the keyboard; the single keys (Space
    // for GO among them) still act. A duration being edited keeps every key,
    // also those its editor passes up unused (F5 as GO).
    if (e->type() == QEvent::KeyPress && watched == m_table && m_table->hasFocus()) {
        const auto* key = static_cast<QKeyEvent*>(e);
        if (OvShortcutKey::instance().activateKeyPress(key->key(), key->modifiers(), key->isAutoRepeat()))
            return true;
    }
    if ((e->type() == QEvent::Resize || e->type() == QEvent::FontChange) && watched == m_go)
        m_goFace.request();
    if (e->type() == QEvent::MouseMove && watched == m_table->viewport()) {
        const auto* move = static_cast<QMouseEvent*>(e);
        emit mouseMove(mapToParent(m_table->viewport()->mapTo(this, move->pos())));
    }
    return QFrame::eventFilter(watched, e);
}

OvRunningOrderPanel::~OvRunningOrderPanel() = default;

int OvRunningOrderPanel::selectedRow() const
{
    const QModelIndexList rows = m_table->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void OvRunningOrderPanel::selectRow(int row)
{
    if (row >= 0 && row < m_model->rowCount())
        m_table->selectRow(row);
}

void OvRunningOrderPanel::addCurrent()
{
    const OvSubCGItem* const item = OvCGListModel::instance()->currentCg();
    if (!item)
        return;
    const int selected = selectedRow();
    const int at = selected >= 0 ? selected + 1 : m_order->count();
    if (m_order->insert(at, QUuid(item->guid()))) {
        selectRow(at);
        m_table->scrollTo(m_model->index(at, 0));
    }
}

void OvRunningOrderPanel::removeSelected()
{
    const int row = selectedRow();
    if (row < 0)
        return;
    m_order->remove(row);
    selectRow(qMin(row, m_model->rowCount() - 1));
}

void OvRunningOrderPanel::moveSelected(int delta)
{
    const int row = selectedRow();
    const int to = row + delta;
    if (row < 0 || to < 0 || to >= m_model->rowCount())
        return;
    m_order->move(row, to);
    selectRow(to);
}

void OvRunningOrderPanel::setCollapsed(bool collapsed)
{
    m_table->setVisible(!collapsed);
    m_go->setVisible(!collapsed);
    m_title->setVisible(!collapsed);
    m_add->setVisible(!collapsed);
    m_clear->setVisible(!collapsed);
    m_collapse->setText(collapsed ? QStringLiteral("‹") : QStringLiteral("›"));
    m_collapse->setAccessibleName(collapsed ? tr("展开串联单") : tr("收起串联单"));
    m_collapse->setToolTip(m_collapse->accessibleName());
    setMaximumWidth(collapsed ? m_collapse->sizeHint().width() + 6 : QWIDGETSIZE_MAX);
}

bool OvRunningOrderPanel::isCollapsed() const
{
    return m_table->isHidden();
}
