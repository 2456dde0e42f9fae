#include "OvCGVestrel.h"

#include "OvAboutDlg.h"
#include "OvConfig.h"
#include "OvConsoleCore.h"
#include "OvConnectionErrorBox.h"
#include "OvHelpViewer.h"
#include "OvKeyboardGuard.h"
#include "OvLoginDlg.h"
#include "OvMsgDlg.h"
#include "OvTitlebar.h"
#include "cg/OvCGListModel.h"
#include "cg/OvCGScrollareaWidget.h"
#include "cg/OvCGShowWidget.h"
#include "cg/OvControlWidget.h"
#include "cg/OvRunningOrder.h"
#include "cg/OvRunningOrderPanel.h"
#include "cg/OvTakeCommand.h"
#include "log/OvCGMessage.h"
#include "net/OvErrorPresenter.h"
#include "net/OvTransferServer.h"
#include "shortcut/OvKeyMap.h"
#include "shortcut/OvShortcutKey.h"
#include "shortcut/OvShortcutKeyDlg.h"

#include <OvUIUtility/HNsNmLayout.h>
#include <OvUIUtility/OvGrayButton.h>
#include <OvUIUtility/OvLabel.h>
#include <OvUIUtility/VNsNmLayout.h>

#include <QEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QKeySequence>
#include <QShortcut>

OvCGVestrel::OvCGVestrel(OvConsoleCore& core, QWidget* parent) : OvCGBaseDlg(parent, 1), m_core(&core)
{
    setObjectName(QStringLiteral("Tolva"));
    // The transfer client knows no widgets; its errors reach the operator here.
    OvErrorPresenter::install(&OvConnectionErrorBox::show);
    applyStyleSheet(this, QStringLiteral("MainFrame.qss"));
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    const OvKeyMap& keys = OvKeyMap::current();
    OvTakeCommand* const takes = core.takes();
    OvRunningOrder* const order = core.order();

    auto* outer = new VNsNmLayout(this);

    m_titlebar = new OvTitlebar(this);
    m_titlebar->showNotice();
    m_titlebar->showHelpMenu();
    // The frameless helper moves this window; two movers would fight.
    m_titlebar->setSelfMove(false);
    outer->addWidget(m_titlebar);

    auto* content = new VNsNmLayout(nullptr);
    content->setContentsMargins(26, 21, 21, 2);

    m_showWidget = new OvCGShowWidget(core.filter(), order, nullptr);
    connect(m_showWidget->runningOrderPanel(), &OvRunningOrderPanel::clearRequested, this, [order] {
        OvMsgDlg box(tr("清空串联单？"), 1, nullptr);
        if (box.exec() == 1)
            order->clear();
    });
    // The CG area takes all the height the title bar and the bottom row leave.
    m_showWidget->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    content->addWidget(m_showWidget);

    m_controlWidget = new OvControlWidget(takes, core.filter(), nullptr);
    connect(m_controlWidget, &OvControlWidget::login, this, &OvCGVestrel::login);

    connectButton = new OvGrayButton(this, QString());
    connectButton->setType(QStringLiteral("OvControlWidget_connect"));
    connectButton->setText(tr("连接"));
    // Space is GO: a button holding the keyboard would take it for a click.
    connectButton->setFocusPolicy(Qt::NoFocus);
    connect(connectButton, &QPushButton::clicked, this, &OvCGVestrel::login);

    // Locked, no take reaches the server from anywhere; selecting and
    // searching go on. The console always starts unlocked.
    m_lockButton = new OvGrayButton(this, QString());
    m_lockButton->setText(tr("锁定发布"));
    m_lockButton->setType(QStringLiteral("OvControlWidget_lock"));
    m_lockButton->setCheckable(true);
    m_lockButton->setFocusPolicy(Qt::NoFocus);
    m_lockButton->setAccessibleName(tr("锁定发布"));
    m_lockButton->setToolTip(tr("锁定发布（%1）").arg(keys.keyText(OvKeyMap::Lock)));
    m_lockButton->setChecked(takes->isLocked());
    connect(m_lockButton, &QPushButton::toggled, takes, &OvTakeCommand::setLocked);
    connect(takes, &OvTakeCommand::lockedChanged, m_lockButton, &QPushButton::setChecked);
    m_clearAllButton = new OvGrayButton(this, QString());
    m_clearAllButton->setText(tr("全部撤下"));
    m_clearAllButton->setType(QStringLiteral("OvControlWidget_clearall"));
    m_clearAllButton->setFocusPolicy(Qt::NoFocus);
    m_clearAllButton->setAccessibleName(tr("全部撤下"));
    m_clearAllButton->setToolTip(tr("全部撤下（%1）").arg(keys.keyText(OvKeyMap::ClearAll)));
    m_clearAllButton->setEnabled(!takes->isLocked());
    connect(m_clearAllButton, &QPushButton::clicked, this, [this] { askClearAll(OvTakeCommand::ControlBar); });
    connect(takes, &OvTakeCommand::lockedChanged, m_clearAllButton, [this](bool locked) {
        m_clearAllButton->setEnabled(!locked);
    });
    // Whether or not the single keys are on.
    auto* lockKey = new QShortcut(keys.key(OvKeyMap::Lock), this);
    // A held key is one press: the lock must not flicker with the key repeat.
    lockKey->setAutoRepeat(false);
    connect(lockKey, &QShortcut::activated, takes, [takes] { takes->setLocked(!takes->isLocked()); });
    // Qt's repeat flag misses most X repeats: held keys, open editors and the
    // lock's key in the console's boxes are settled for the whole program.
    new OvKeyboardGuard(this, takes);
    auto* clearAllKey = new QShortcut(keys.key(OvKeyMap::ClearAll), this);
    clearAllKey->setAutoRepeat(false);
    connect(clearAllKey, &QShortcut::activated, this, [this] { askClearAll(OvTakeCommand::Keyboard); });

    auto* bottom = new HNsNmLayout(nullptr);
    bottom->addWidget(connectButton);
    bottom->addSpacing(12);
    bottom->addWidget(m_lockButton);
    bottom->addStretch();
    bottom->addWidget(m_clearAllButton);
    bottom->addSpacing(24);
    bottom->addWidget(m_controlWidget);
    content->addLayout(bottom);
    outer->addLayout(content);

    // A workable first size; the operator resizes it at the borders.
    resize(1280, 800);
    showNormal();
    setMoveResizeMode(2);
    m_titlebar->updateMaximizeState();
    applyStyleSheet(this, QStringLiteral("default.qss"));

    OvTransferServer* const client = OvTransferServer::instance();
    connect(client, &OvTransferServer::signalConnect, this, &OvCGVestrel::slotConnect);
    connect(client, &OvTransferServer::reconnectingChanged, this, &OvCGVestrel::setReconnectingState);
    connect(m_titlebar, &OvTitlebar::quickWidget, this, &OvCGVestrel::quickWidget);
    auto* find = new QShortcut(QKeySequence::Find, this);
    connect(find, &QShortcut::activated, m_showWidget, &OvCGShowWidget::focusSearch);
    connect(m_titlebar, &OvTitlebar::about, this, &OvCGVestrel::about);
    connect(m_titlebar, &OvTitlebar::helperInfo, this, &OvCGVestrel::helperInfo);

    OvCGMessage::systemLine(tr("欢迎使用TolvaCGVestrel"));
    for (const QString& problem : core.problems())
        OvCGMessage::systemLine(problem);
    m_showWidget->grid()->registerArrows();
    core.startRemoteSurfaces();

    setMouseTracking(true);

    // Lives for the whole run, without parent, so that it opens as a window of its own.
    m_loginDlg = new OvLoginDlg(nullptr);

    setFocusPolicy(Qt::StrongFocus);
}

OvCGVestrel::~OvCGVestrel()
{
    // The dialog has no parent (it is a window of its own); it ends with the
    // main window rather than being left for the process exit.
    delete m_loginDlg;
}

void OvCGVestrel::login(bool checked)
{
    Q_UNUSED(checked)
    applyStyleSheet(this, QStringLiteral("default.qss"));

    OvTransferServer* const client = OvTransferServer::instance();
    // A click while the console reconnects stops it; the operator chooses anew.
    client->stopReconnecting();
    switch (client->connectionState()) {
    case OvTransferServer::Idle:
        // The dialog starts the connection; the outcome arrives in slotConnect.
        m_loginDlg->exec();
        break;
    case OvTransferServer::LoggedIn: {
        OvMsgDlg box(tr("是否断开远程连接"), 1, nullptr);
        // The connection may end while the question is open (a kick, a lost
        // server): the question is then moot and goes away unanswered.
        bool ended = false;
        const QMetaObject::Connection watch =
            connect(client, &OvTransferServer::signalConnect, &box, [&box, &ended](bool up) {
                if (!up) {
                    ended = true;
                    box.reject();
                }
            });
        const int answer = box.exec();
        disconnect(watch);
        if (answer == 1 && !ended && client->isLoggedIn()) {
            client->disconnectFromServer();
            OvCGMessage::systemLine(tr("您与studio断开连接。"));
        }
        break;
    }
    case OvTransferServer::Connecting:
    case OvTransferServer::Closing:
        break;
    }
}

void OvCGVestrel::slotConnect(bool loginSuccess)
{
    if (loginSuccess) {
        m_loginDlg->accept();
        OvCGMessage::systemLine(tr("您成功与studio建立远程连接"));
        setConnectButtonState(true);
    } else {
        setConnectButtonState(false);
        OvCGListModel::instance()->clearCg();
    }
}

void OvCGVestrel::setConnectButtonState(bool connected)
{
    connectButton->setText(connected ? tr("已连接") : tr("连接"));
    connectButton->setType(connected ? QStringLiteral("OvControlWidget_connected")
                                     : QStringLiteral("OvControlWidget_connect"));
}

void OvCGVestrel::setReconnectingState(bool reconnecting)
{
    if (reconnecting) {
        connectButton->setText(tr("重连中…"));
        connectButton->setType(QStringLiteral("OvControlWidget_reconnecting"));
    } else {
        setConnectButtonState(OvTransferServer::instance()->isLoggedIn());
    }
}

void OvCGVestrel::askClearAll(OvTakeCommand::Source source)
{
    OvTakeCommand* const takes = m_core->takes();
    // Refused (and said) without a question while locked.
    if (!takes->admitSource(source))
        return;
    OvMsgDlg box(tr("撤下所有在PGM或PVW上的CG？"), 1, nullptr);
    if (box.exec() == 1)
        takes->clearAll(source);
}

void OvCGVestrel::quickWidget()
{
    OvShortcutKeyDlg dlg(this);
    dlg.exec();
}

void OvCGVestrel::about()
{
    OvAboutDlg dlg(this);
    dlg.exec();
}

void OvCGVestrel::helperInfo()
{
    OvHelpViewer::open(this);
}

void OvCGVestrel::keyPressEvent(QKeyEvent* e)
{
    OvShortcutKey::instance().activateKeyPress(e->key(), e->modifiers(), e->isAutoRepeat());
    // A stray Escape must not reject this dialog: that would hide the main
    // window and end the console, perhaps in the middle of a broadcast.
    if (e->key() == Qt::Key_Escape && e->modifiers() == Qt::NoModifier) {
        e->accept();
        return;
    }
    QDialog::keyPressEvent(e);
}

void OvCGVestrel::changeEvent(QEvent* e)
{
    if (e->type() == QEvent::WindowStateChange) {
        const Qt::WindowStates state = windowState();
        if (state == Qt::WindowMinimized || state == Qt::WindowMaximized || state == Qt::WindowNoState)
            m_titlebar->updateMaximizeState();
    }
    setFocus();
    QWidget::changeEvent(e);
}
