#include "shortcut/OvShortcutKeyDlg.h"

#include "shell/OvTitlebar.h"
#include "shortcut/OvKeyMap.h"

#include <OvUIUtility/VNsNmLayout.h>

#include <QGroupBox>
#include <QHeaderView>
#include <QShowEvent>
#include <QStringList>
#include <QTableWidget>
#include <QTableWidgetItem>

namespace {

constexpr Qt::Alignment kCentred = Qt::AlignHCenter | Qt::AlignVCenter;

// One titled group holding a one-row table: header labels over the key texts.
QGroupBox* keyGroup(QWidget* parent, const char* name, const QString& title, const QStringList& headers,
                    const QStringList& keys, bool centreHeader)
{
    auto* box = new QGroupBox(title, parent);
    box->setObjectName(QStringLiteral("OvShortcutKeyDlg_%1Box").arg(QLatin1String(name)));
    auto* layout = new VNsNmLayout(box);
    layout->setContentsMargins(17, 25, 17, 20);

    auto* table = new QTableWidget(box);
    table->setObjectName(QStringLiteral("OvShortcutKeyDlg_%1Table").arg(QLatin1String(name)));
    table->setAccessibleName(title);
    // A card to read: the window's keyboard focus stays where the shortcuts need it.
    table->setFocusPolicy(Qt::NoFocus);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    if (centreHeader)
        table->horizontalHeader()->setDefaultAlignment(kCentred);
    table->setColumnCount(headers.size());
    table->setHorizontalHeaderLabels(headers);
    table->insertRow(0);
    table->setRowHeight(0, 36);
    for (int column = 0; column < keys.size(); ++column) {
        auto* item = new QTableWidgetItem(keys.at(column));
        item->setTextAlignment(kCentred);
        table->setItem(0, column, item);
    }
    layout->addWidget(table);
    return box;
}

}  // namespace

OvShortcutKeyDlg::OvShortcutKeyDlg(QWidget* parent) : OvCGBaseDlg(parent, 1)
{
    setObjectName(QStringLiteral("OvShortcutKeyDlg"));

    auto* titlebar = new OvTitlebar(this);
    titlebar->setTitle(tr("快捷键"));
    titlebar->hideIcon();
    titlebar->hideMaximizeButton();
    titlebar->hideMinimizeButton();

    auto* content = new VNsNmLayout;
    content->setContentsMargins(24, 28, 24, 30);
    content->setSpacing(16);
    // The keys in force: config.ini's [KEYS] may have changed them.
    const OvKeyMap& keys = OvKeyMap::current();
    content->addWidget(keyGroup(this, "switch", tr("快捷键(开启/关闭)"),
                                {tr("快捷键(开启/关闭)")}, {keys.keyText(OvKeyMap::Toggle)}, true));
    content->addWidget(keyGroup(this, "move", tr("快捷键选择框移动"),
                                {tr("上移"), tr("下移"), tr("左移"),
                                 tr("右移")},
                                {tr("方向键 ↑"), tr("方向键 ↓"), tr("方向键 ←"),
                                 tr("方向键 →")},
                                false));
    content->addWidget(keyGroup(this, "publish", tr("发布控制"),
                                {tr("发布PGM"), tr("发布PVW"), tr("取消发布"), tr("锁定发布"), tr("全部撤下")},
                                {keys.keyText(OvKeyMap::Pgm), keys.keyText(OvKeyMap::Pvw),
                                 keys.keyText(OvKeyMap::Cancel), keys.keyText(OvKeyMap::Lock),
                                 keys.keyText(OvKeyMap::ClearAll)},
                                false));
    content->addWidget(keyGroup(this, "order", tr("串联单"), {tr("执行下一条"), tr("加入"), tr("移除"), tr("上移/下移")},
                                {keys.keyText(OvKeyMap::Go), QStringLiteral("Insert"), QStringLiteral("Delete"),
                                 QStringLiteral("Alt+↑ / Alt+↓")},
                                false));
    content->addWidget(keyGroup(this, "search", tr("搜索CG"),
                                {tr("搜索"), tr("选中第一个结果"), tr("清空搜索")},
                                {QStringLiteral("Ctrl+F"), tr("回车"), QStringLiteral("Esc")}, false));

    auto* outer = new VNsNmLayout(this);
    outer->addWidget(titlebar);
    outer->addLayout(content);
}

OvShortcutKeyDlg::~OvShortcutKeyDlg() = default;

void OvShortcutKeyDlg::showEvent(QShowEvent* event)
{
    OvCGBaseDlg::showEvent(event);
    // A panel inside a parent with a layout is not sized by Qt: size it to its
    // contents unless someone already chose a size.
    if (!testAttribute(Qt::WA_Resized))
        adjustSize();
    if (QWidget* parent = parentWidget()) {
        const QRect area = parent->rect();
        move(area.x() + area.width() / 2 - width() / 2, area.y() + area.height() / 2 - height() / 2);
    }
}
