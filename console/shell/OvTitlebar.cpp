#include "OvTitlebar.h"

#include "TitleMouseMovePressState.h"
#include "TitleMouseMoveReleaseState.h"
#include "log/OvTitlebarNoticeInfo.h"

#include <OvUIUtility/HNsNmLayout.h>
#include <OvUIUtility/MenuButton.h>
#include <OvUIUtility/OvButton.h>
#include <OvUIUtility/OvLabel.h>
#include <OvUIUtility/OvRepolish.h>

#include <QAction>
#include <QMenu>
#include <QMouseEvent>
#include <QStyle>

OvTitlebar::OvTitlebar(QWidget* parent)
    : QFrame(parent),
      m_state(TitleMouseMoveReleaseState::instance()),
      m_minimize(new OvButton(QStringLiteral("OvTitlebar_m_minimize"), this)),
      m_maximize(new OvButton(QStringLiteral("OvTitlebar_m_maximize"), this)),
      m_close(new OvButton(QStringLiteral("close"), nullptr)),
      m_icon(new OvLabel(QStringLiteral("OvTitlebar_m_icon"), this)),
      m_title(new OvLabel(QStringLiteral("OvTitlebar_m_title"), this)),
      m_notice(new OvTitlebarNoticeInfo(nullptr)),
      m_helper(new MenuButton(QStringLiteral("OvTitlebar_m_helper"), nullptr))
{
    setObjectName(QStringLiteral("OvTitlebar"));
    m_title->setText(QStringLiteral("CGVestrel"));

    m_notice->hide();

    m_helper->setText(tr("帮助"));
    QMenu* menu = m_helper->getMenu();
    connect(menu->addAction(tr("快捷键")), &QAction::triggered, this, &OvTitlebar::quickWidget);
    connect(menu->addAction(tr("关于")), &QAction::triggered, this, &OvTitlebar::about);
    connect(menu->addAction(tr("帮助信息")), &QAction::triggered, this, &OvTitlebar::helperInfo);
    m_helper->hide();

    // Icon-only buttons say what they do to screen readers (and to the end-to-end tests).
    m_minimize->setAccessibleName(tr("最小化"));
    m_maximize->setAccessibleName(tr("最大化"));
    m_close->setAccessibleName(tr("关闭"));

    // The buttons never take the keyboard focus away from the window's shortcuts.
    for (OvButton* button : {m_minimize, m_maximize, m_close, static_cast<OvButton*>(m_helper)})
        button->setFocusPolicy(Qt::NoFocus);

    auto* layout = new HNsNmLayout(this);
    layout->setContentsMargins(10, 0, 10, 0);
    layout->setSpacing(5);
    layout->addWidget(m_icon);
    layout->addWidget(m_title);
    layout->addWidget(m_helper);
    layout->addStretch();
    layout->addSpacing(100);
    layout->addWidget(m_notice);
    layout->addSpacing(100);
    layout->addStretch();
    layout->addWidget(m_minimize);
    layout->addWidget(m_maximize);
    layout->addWidget(m_close);

    connect(m_close, &QPushButton::clicked, this, &OvTitlebar::onClose);
    connect(m_minimize, &QPushButton::clicked, this, &OvTitlebar::showSmall);
    connect(m_maximize, &QPushButton::clicked, this, &OvTitlebar::showMaxRestore);
}

OvTitlebar::~OvTitlebar() = default;

void OvTitlebar::setTitle(const QString& title)
{
    m_title->setText(title);
}

void OvTitlebar::hideIcon()
{
    m_icon->hide();
}

void OvTitlebar::hideMinimizeButton()
{
    m_minimize->hide();
}

void OvTitlebar::hideMaximizeButton()
{
    m_maximize->hide();
}

void OvTitlebar::showNotice()
{
    m_notice->show();
}

void OvTitlebar::showHelpMenu()
{
    m_helper->show();
}

void OvTitlebar::setSelfMove(bool selfMove)
{
    m_selfMove = selfMove;
}

void OvTitlebar::updateMaximizeState()
{
    QWidget* window = parentWidget();
    const bool maximized = window && window->isMaximized();
    m_maximize->setProperty("max", !maximized);
    m_maximize->setAccessibleName(maximized ? tr("还原") : tr("最大化"));
    OvRepolish::repolish(m_maximize);
}

void OvTitlebar::showSmall()
{
    if (QWidget* window = parentWidget())
        window->showMinimized();
}

void OvTitlebar::showMaxRestore()
{
    QWidget* window = parentWidget();
    if (!window)
        return;
    if (window->isMaximized()) {
        window->showNormal();
        window->setProperty("type", QStringLiteral("small"));
        OvRepolish::repolish(window);
    } else {
        window->setProperty("type", QString());
        OvRepolish::repolish(window);
        window->showMaximized();
    }
}

void OvTitlebar::onClose()
{
    if (QWidget* window = parentWidget())
        window->close();
}

void OvTitlebar::mousePressEvent(QMouseEvent* event)
{
    auto* pressState = TitleMouseMovePressState::instance();
    pressState->setStartPoint(mapToParent(event->pos()));
    m_state = pressState;
    QWidget::mousePressEvent(event);
}

void OvTitlebar::mouseReleaseEvent(QMouseEvent* event)
{
    m_state = TitleMouseMoveReleaseState::instance();
    QWidget::mouseReleaseEvent(event);
}

void OvTitlebar::mouseDoubleClickEvent(QMouseEvent* event)
{
    showMaxRestore();
    QWidget::mouseDoubleClickEvent(event);
}

void OvTitlebar::mouseMoveEvent(QMouseEvent* event)
{
    QWidget* window = parentWidget();
    if (m_selfMove) {
        if (m_state->handleMove(window, event))
            QWidget::mouseMoveEvent(event);
        return;
    }
    // The window's frameless helper moves it, except while maximized.
    if (!window || !window->isMaximized())
        QWidget::mouseMoveEvent(event);
}

void OvTitlebar::resizeEvent(QResizeEvent* event)
{
    QFrame::resizeEvent(event);
}
