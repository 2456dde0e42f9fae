#include "OvUIGalleryWindow.h"

#include <OvUIUtility/FileFormateImage.h>
#include <OvUIUtility/FlowLayout.h>
#include <OvUIUtility/HNsNmLayout.h>
#include <OvUIUtility/MenuButton.h>
#include <OvUIUtility/OvButton.h>
#include <OvUIUtility/OvComboBox.h>
#include <OvUIUtility/OvComboBoxListView.h>
#include <OvUIUtility/OvCustomRangeWidget.h>
#include <OvUIUtility/OvGrayButton.h>
#include <OvUIUtility/OvLabel.h>
#include <OvUIUtility/OvLineEdit.h>
#include <OvUIUtility/OvScaleWidget.h>
#include <OvUIUtility/OvScrollArea.h>
#include <OvUIUtility/OvToolButton.h>
#include <OvUIUtility/OvTrackSettingWidget.h>
#include <OvUIUtility/OvWhiteToolButton.h>
#include <OvUIUtility/OvYellowButton.h>
#include <OvUIUtility/PictureLabel.h>
#include <OvUIUtility/VNsNmLayout.h>

#include <QCoreApplication>
#include <QGridLayout>
#include <QImage>
#include <QLinearGradient>
#include <QMenu>
#include <QPainter>
#include <QScreen>
#include <QTreeWidget>

namespace {
// Gallery-only frames around the sections; the widgets themselves are styled by
// the application's default.qss.
const char* const galleryStyle = R"(
#OvUIGalleryWindow { background-color: #1e2228; }
#OvUIGallery_section { background-color: #23282f; border: 1px solid #2f353e; border-radius: 4px; }
#OvUIGallery_title { color: #ff8a3a; font-weight: bold; font-size: 14px; }
#OvUIGallery_caption { color: #8a93a0; font-size: 11px; }
#OvUIGallery_light { background-color: #e8ebf0; border-radius: 3px; padding: 4px 8px; }
#OvUIGallery_canvas { background-color: #15181d; border: 1px solid #2f353e; }
QTreeWidget { background-color: #15181d; border: 1px solid #2f353e; color: #d8dce3; }
QTreeWidget::item:selected { background-color: #2f3a48; color: #ffffff; }
)";

QString resourcePath(const QString& relative)
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/Resources/") + relative;
}

OvLabel* caption(const QString& text, QWidget* parent)
{
    auto* label = new OvLabel(QStringLiteral("OvUIGallery_caption"), parent);
    label->setText(text);
    return label;
}

// A widget above its caption.
QWidget* captioned(QWidget* widget, const QString& text)
{
    auto* box = new QWidget;
    auto* column = new VNsNmLayout(box);
    column->setSpacing(4);
    column->addWidget(widget, 0, Qt::AlignLeft);
    column->addWidget(caption(text, box), 0, Qt::AlignLeft);
    return box;
}

QWidget* row(std::initializer_list<QWidget*> widgets)
{
    auto* box = new QWidget;
    auto* layout = new HNsNmLayout(box);
    layout->setSpacing(12);
    for (QWidget* widget : widgets)
        layout->addWidget(widget, 0, Qt::AlignTop);
    layout->addStretch();
    return box;
}
}  // namespace

OvUIGalleryWindow::OvUIGalleryWindow(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("OvUIGalleryWindow"));
    setWindowTitle(QStringLiteral("OvUIUtility 控件一览"));
    setAttribute(Qt::WA_StyledBackground, true);
    setStyleSheet(QString::fromUtf8(galleryStyle));
    writeSamples();

    auto* area = new OvScrollArea(this);
    area->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    auto* content = new QWidget;
    auto* grid = new QGridLayout(content);
    grid->setContentsMargins(12, 12, 12, 12);
    grid->setSpacing(12);
    grid->addWidget(section(QStringLiteral("按钮 OvButton · OvGrayButton · OvYellowButton · MenuButton"), buttons()), 0, 0);
    grid->addWidget(section(QStringLiteral("标签与输入 OvLabel · OvLineEdit"), labelsAndEdits()), 0, 1);
    grid->addWidget(section(QStringLiteral("下拉框与工具按钮 OvComboBox · OvComboBoxListView · OvToolButton · OvWhiteToolButton"),
                            combosAndToolButtons()), 1, 0);
    grid->addWidget(section(QStringLiteral("流式布局 FlowLayout · OvScrollArea"), flow()), 1, 1);
    grid->addWidget(section(QStringLiteral("图片标签 PictureLabel"), pictures()), 2, 0);
    grid->addWidget(section(QStringLiteral("节点图标 FileFormateImage"), nodeIcons()), 2, 1);
    grid->addWidget(section(QStringLiteral("范围框 OvCustomRangeWidget"), range()), 3, 0);
    grid->addWidget(section(QStringLiteral("轨道面板 OvTrackSettingWidget · OvScaleWidget"), track()), 3, 1);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
    area->setWidget(content);

    auto* layout = new VNsNmLayout(this);
    layout->addWidget(area);
    // Everything at once where the screen allows, else scroll.
    const QSize want = content->sizeHint() + QSize(4, 4);
    resize(screen() ? want.boundedTo(screen()->availableGeometry().size()) : want);
}

OvUIGalleryWindow::~OvUIGalleryWindow() = default;

QWidget* OvUIGalleryWindow::section(const QString& title, QWidget* body)
{
    auto* frame = new QWidget;
    frame->setObjectName(QStringLiteral("OvUIGallery_section"));
    frame->setAttribute(Qt::WA_StyledBackground, true);
    auto* column = new VNsNmLayout(frame);
    column->setContentsMargins(12, 10, 12, 12);
    column->setSpacing(10);
    auto* heading = new OvLabel(QStringLiteral("OvUIGallery_title"), frame);
    heading->setText(title);
    column->addWidget(heading);
    body->setParent(frame);
    column->addWidget(body);
    column->addStretch();
    return frame;
}

QWidget* OvUIGalleryWindow::buttons()
{
    auto* body = new QWidget;
    auto* column = new VNsNmLayout(body);
    column->setSpacing(10);

    auto* plain = new OvButton;
    plain->setText(QStringLiteral("确定"));
    auto* plainOff = new OvButton;
    plainOff->setText(QStringLiteral("不可用"));
    plainOff->setEnabled(false);
    auto* gray = new OvGrayButton;
    gray->setText(QStringLiteral("取消"));
    auto* yellow = new OvYellowButton;
    yellow->setText(QStringLiteral("登录"));
    auto* yellowOff = new OvYellowButton;
    yellowOff->setText(QStringLiteral("登录"));
    yellowOff->setEnabled(false);
    column->addWidget(row({captioned(plain, QStringLiteral("OvButton")), captioned(plainOff, QStringLiteral("disabled")),
                           captioned(gray, QStringLiteral("OvGrayButton")),
                           captioned(yellow, QStringLiteral("OvYellowButton")),
                           captioned(yellowOff, QStringLiteral("disabled"))}));

    auto* connect = new OvGrayButton(nullptr, QStringLiteral("OvControlWidget_connect"));
    connect->setText(QStringLiteral("连接"));
    auto* connected = new OvGrayButton(nullptr, QStringLiteral("OvControlWidget_connected"));
    connected->setText(QStringLiteral("已连接"));
    auto* pgm = new OvGrayButton(nullptr, QStringLiteral("OvControlWidget_pgm"));
    pgm->setText(QStringLiteral("PGM"));
    auto* pvw = new OvGrayButton(nullptr, QStringLiteral("OvControlWidget_pvw"));
    pvw->setText(QStringLiteral("PVW"));
    // setType re-polishes at once: the button turns green and back on each click.
    QObject::connect(connect, &OvGrayButton::clicked, connect, [connect]() {
        const bool on = connect->property("type").toString() == QLatin1String("OvControlWidget_connect");
        connect->setType(on ? QStringLiteral("OvControlWidget_connected") : QStringLiteral("OvControlWidget_connect"));
        connect->setText(on ? QStringLiteral("已连接") : QStringLiteral("连接"));
    });
    auto* menu = new MenuButton(QStringLiteral("MenuButton"));
    menu->setText(QStringLiteral("帮助 ▾"));
    menu->getMenu()->addAction(QStringLiteral("快捷键"));
    menu->getMenu()->addAction(QStringLiteral("关于"));
    menu->getMenu()->addAction(QStringLiteral("帮助文档"));
    column->addWidget(row({captioned(connect, QStringLiteral("type connect (click)")),
                           captioned(connected, QStringLiteral("type connected")),
                           captioned(pgm, QStringLiteral("type pgm")), captioned(pvw, QStringLiteral("type pvw")),
                           captioned(menu, QStringLiteral("MenuButton"))}));
    return body;
}

QWidget* OvUIGalleryWindow::labelsAndEdits()
{
    auto* body = new QWidget;
    auto* column = new VNsNmLayout(body);
    column->setSpacing(10);

    auto* plain = new OvLabel;
    plain->setText(QStringLiteral("普通标签"));
    auto* black = new OvLabel(QStringLiteral("OvUIGallery_light"), nullptr);
    black->setType(OvLabel::BlackLabel);
    black->setText(QStringLiteral("label_black"));
    auto* clickable = new OvLabel;
    clickable->setText(QStringLiteral("点我: 0"));
    clickable->setCursor(Qt::PointingHandCursor);
    clickable->connectClicked(clickable, [clickable]() {
        const int n = clickable->getData().toInt() + 1;
        clickable->setData(n);
        clickable->setText(QStringLiteral("点我: %1").arg(n));
    });
    column->addWidget(row({captioned(plain, QStringLiteral("OvLabel")),
                           captioned(black, QStringLiteral("setType(BlackLabel)")),
                           captioned(clickable, QStringLiteral("connectClicked"))}));

    auto* number = new OvLineEdit;
    number->setText(QStringLiteral("1.00"));
    number->setFixedWidth(110);
    auto* hint = new OvLineEdit;
    hint->setPlaceholderText(QStringLiteral("服务器地址"));
    hint->setFixedWidth(140);
    auto* off = new OvLineEdit;
    off->setText(QStringLiteral("19999"));
    off->setEnabled(false);
    off->setFixedWidth(90);
    column->addWidget(row({captioned(number, QStringLiteral("drag to adjust")),
                           captioned(hint, QStringLiteral("placeholder")), captioned(off, QStringLiteral("disabled"))}));
    return body;
}

QWidget* OvUIGalleryWindow::combosAndToolButtons()
{
    auto* body = new QWidget;
    auto* column = new VNsNmLayout(body);
    column->setSpacing(10);

    auto* combo = new OvComboBox;
    combo->addItems({QStringLiteral("演播室 A"), QStringLiteral("演播室 B"), QStringLiteral("转播车")});
    combo->setMinimumWidth(140);
    auto* listCombo = new OvComboBoxListView;
    listCombo->addItems({QStringLiteral("10.77.0.2  CG-01"), QStringLiteral("10.77.0.3  CG-02")});
    listCombo->setMinimumWidth(170);
    column->addWidget(row({captioned(combo, QStringLiteral("OvComboBox")),
                           captioned(listCombo, QStringLiteral("OvComboBoxListView"))}));

    auto* tool = new OvToolButton;
    tool->setText(QStringLiteral("场景"));
    tool->setFixedSize(110, 32);
    auto* noArrow = new OvToolButton;
    noArrow->setText(QStringLiteral("场景"));
    noArrow->setDisabledDownArrow();
    noArrow->setFixedSize(110, 32);
    auto* white = new OvWhiteToolButton;
    white->setText(QStringLiteral("图层"));
    white->setFixedSize(110, 32);
    column->addWidget(row({captioned(tool, QStringLiteral("OvToolButton")),
                           captioned(noArrow, QStringLiteral("setDisabledDownArrow")),
                           captioned(white, QStringLiteral("OvWhiteToolButton"))}));
    return body;
}

QWidget* OvUIGalleryWindow::flow()
{
    auto* area = new OvScrollArea;
    auto* chips = new QWidget;
    auto* layout = new FlowLayout(chips, 5, 6, 6);
    const QStringList names{QStringLiteral("新闻标题"), QStringLiteral("台标"),     QStringLiteral("角标"),
                            QStringLiteral("字幕条"),   QStringLiteral("倒计时"),   QStringLiteral("比分牌"),
                            QStringLiteral("天气"),     QStringLiteral("人名条"),   QStringLiteral("滚动字幕"),
                            QStringLiteral("片尾"),     QStringLiteral("直播标识"), QStringLiteral("时钟")};
    for (const QString& name : names) {
        auto* chip = new OvGrayButton(chips);
        chip->setText(name);
        layout->addWidget(chip);
    }
    area->setWidget(chips);
    area->setMinimumHeight(100);
    return area;
}

void OvUIGalleryWindow::writeSamples()
{
    // A photo-like opaque picture and a logo on a transparent ground.
    QImage photo(160, 120, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&photo);
    QLinearGradient sky(0, 0, 0, 120);
    sky.setColorAt(0, QColor(0x3b, 0x7f, 0xc6));
    sky.setColorAt(1, QColor(0xf2, 0xb5, 0x5a));
    painter.fillRect(photo.rect(), sky);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xff, 0xe0, 0x8a));
    painter.drawEllipse(QPointF(110, 48), 18, 18);
    painter.setBrush(QColor(0x2c, 0x4a, 0x3a));
    painter.drawPolygon(QPolygonF({QPointF(0, 120), QPointF(0, 80), QPointF(50, 55), QPointF(95, 88),
                                   QPointF(130, 70), QPointF(160, 90), QPointF(160, 120)}));
    painter.end();
    photo.save(m_samples.filePath(QStringLiteral("photo.png")));
    // The same picture as JPEG under a .png name: found by its signature.
    photo.save(m_samples.filePath(QStringLiteral("photo_jpeg.png")), "JPEG");

    QImage logo(120, 120, QImage::Format_ARGB32_Premultiplied);
    logo.fill(Qt::transparent);
    painter.begin(&logo);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xd5, 0x30, 0x30));
    painter.drawRoundedRect(QRectF(20, 30, 80, 60), 10, 10);
    painter.setBrush(Qt::white);
    painter.drawPolygon(QPolygonF({QPointF(50, 45), QPointF(78, 60), QPointF(50, 75)}));
    painter.end();
    logo.save(m_samples.filePath(QStringLiteral("logo.png")));
}

QWidget* OvUIGalleryWindow::pictures()
{
    const QString photo = m_samples.filePath(QStringLiteral("photo.png"));
    const QString logo = m_samples.filePath(QStringLiteral("logo.png"));
    const QString round = resourcePath(QStringLiteral("mask/round_64.png"));
    const QString rounded = resourcePath(QStringLiteral("mask/rounded_64.png"));

    auto picture = [](const QString& path, const std::function<void(PictureLabel*)>& policy) {
        auto* label = new PictureLabel;
        label->setFixedSize(80, 80);
        if (policy)
            policy(label);
        label->setPicturePath(path);
        return label;
    };
    auto* plain = picture(photo, {});
    auto* jpeg = picture(m_samples.filePath(QStringLiteral("photo_jpeg.png")), {});
    auto* masked = picture(photo, [round](PictureLabel* l) { l->makeRound(QSize(64, 64), round); });
    auto* roundPhoto = picture(photo, [round](PictureLabel* l) { l->setRoundMode(32, round); });
    auto* roundLogo = picture(logo, [round](PictureLabel* l) { l->setRoundMode(32, round); });
    auto* lined = picture(logo, [rounded](PictureLabel* l) { l->makeRoundWithLine(QSize(64, 64), rounded); });
    auto* widgetRound = picture(photo, {});
    widgetRound->makeRound(16);
    auto* missing = picture(m_samples.filePath(QStringLiteral("missing")), {});
    missing->setObjectName(QStringLiteral("OvUIGallery_canvas"));

    auto* body = new QWidget;
    auto* column = new VNsNmLayout(body);
    column->setSpacing(10);
    column->addWidget(row({captioned(plain, QStringLiteral("Null policy")),
                           captioned(jpeg, QStringLiteral("JPEG named .png")),
                           captioned(masked, QStringLiteral("makeRound(size, mask)")),
                           captioned(widgetRound, QStringLiteral("makeRound(16)"))}));
    column->addWidget(row({captioned(roundPhoto, QStringLiteral("setRoundMode")),
                           captioned(roundLogo, QStringLiteral("setRoundMode, transparent")),
                           captioned(lined, QStringLiteral("makeRoundWithLine")),
                           captioned(missing, QStringLiteral("unreadable file"))}));
    return body;
}

QWidget* OvUIGalleryWindow::nodeIcons()
{
    const FileFormateImage& icons = FileFormateImage::instance();
    auto* body = new QWidget;
    auto* layout = new HNsNmLayout(body);
    layout->setSpacing(12);

    auto* tree = new QTreeWidget;
    tree->setHeaderHidden(true);
    tree->setIconSize(QSize(20, 20));
    tree->setMinimumSize(220, 230);
    auto* rootItem = new QTreeWidgetItem(tree, {QStringLiteral("场景")});
    rootItem->setData(0, Qt::UserRole, QStringLiteral("root"));
    rootItem->setIcon(0, icons.imageResource(QStringLiteral("root")));
    const QStringList kinds{QStringLiteral("camera"), QStringLiteral("plane"),  QStringLiteral("screen"),
                            QStringLiteral("model"),  QStringLiteral("material"), QStringLiteral("lightSource"),
                            QStringLiteral("person"), QStringLiteral("thing"),  QStringLiteral("panorama"),
                            QStringLiteral("Camera")};
    for (const QString& kind : kinds) {
        auto* item = new QTreeWidgetItem(rootItem, {kind});
        item->setData(0, Qt::UserRole, kind);
        item->setIcon(0, icons.imageResource(kind));
    }
    tree->expandAll();
    QObject::connect(tree, &QTreeWidget::itemSelectionChanged, tree, [this, tree]() { selectNodeIcons(tree); });
    rootItem->child(1)->setSelected(true);

    auto* table = new QWidget;
    auto* grid = new QGridLayout(table);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(4);
    QStringList all = FileFormateImage::nodeKinds();
    all.append(QStringLiteral("unknown"));
    for (int i = 0; i < all.size(); ++i) {
        auto* icon = new OvLabel;
        icon->setPixmap(icons.imageResource(all[i]).pixmap(24, 24));
        auto* name = caption(all[i] == QLatin1String("unknown") ? QStringLiteral("(fallback)") : all[i], table);
        grid->addWidget(icon, i % 10, (i / 10) * 2);
        grid->addWidget(name, i % 10, (i / 10) * 2 + 1);
    }
    layout->addWidget(tree);
    layout->addWidget(table, 0, Qt::AlignTop);
    layout->addStretch();
    return body;
}

void OvUIGalleryWindow::selectNodeIcons(QTreeWidget* tree)
{
    const FileFormateImage& icons = FileFormateImage::instance();
    for (QTreeWidgetItemIterator it(tree); *it; ++it) {
        const QString kind = (*it)->data(0, Qt::UserRole).toString();
        const bool selected = (*it)->isSelected() && kind != QLatin1String("root");
        (*it)->setIcon(0, icons.imageResource(selected ? kind + QStringLiteral("_selected") : kind));
    }
}

QWidget* OvUIGalleryWindow::range()
{
    auto* canvas = new QWidget;
    canvas->setObjectName(QStringLiteral("OvUIGallery_canvas"));
    canvas->setAttribute(Qt::WA_StyledBackground, true);
    canvas->setMinimumHeight(190);
    auto* frame = new OvCustomRangeWidget(canvas);
    frame->setGeometry(40, 30, 260, 120);
    auto* hint = new OvLabel(frame);
    hint->setAlignment(Qt::AlignCenter);
    hint->setText(QStringLiteral("拖动移动，拖动边框调整大小"));
    hint->setAttribute(Qt::WA_TransparentForMouseEvents);
    frame->layout()->addWidget(hint);
    auto* status = caption(QStringLiteral("startResizeMove: -"), canvas);
    status->move(8, 4);
    status->setMinimumWidth(200);
    QObject::connect(frame, &OvCustomRangeWidget::startResizeMove, status, [status](bool start) {
        status->setText(QStringLiteral("startResizeMove: %1").arg(start ? QStringLiteral("true") : QStringLiteral("false")));
    });
    return canvas;
}

QWidget* OvUIGalleryWindow::track()
{
    auto* body = new QWidget;
    auto* column = new VNsNmLayout(body);
    column->setSpacing(8);
    auto* panel = new OvTrackSettingWidget;
    panel->setMinimumWidth(560);
    panel->updateData({0, 20, 45, 70});
    OvScaleWidget* scale = panel->scaleWidget();
    QObject::connect(panel, &OvTrackSettingWidget::signalAddSign, panel, [panel]() {
        QList<int> signs = panel->scaleWidget()->signs();
        signs.append(panel->addSign());
        panel->updateData(signs);
    });
    scale->setValue(30);
    scale->loopPlay();
    column->addWidget(panel);

    auto* off = new OvTrackSettingWidget;
    off->updateData({10, 90});
    off->setEnableTrace(false);
    column->addWidget(caption(QStringLiteral("loop playback, signs at 0, 20, 45, 70"), body));
    column->addSpacing(6);
    column->addWidget(off);
    column->addWidget(caption(QStringLiteral("setEnableTrace(false), stopped"), body));
    return body;
}
