#include "ui/main/widgets/main_window.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>

#include "ui/program.h"
#include "ui/main/widgets/protocol_window.h"
#include "ui/search/widgets/search_window.h"
#include "ui/widgets/activation_watch.h"
#include "ui/widgets/colours.h"
#include "ui/widgets/fonts.h"
#include "ui/widgets/group_frame.h"
#include "ui/widgets/label_view.h"
#include "ui/widgets/picture_button.h"
#include "ui/widgets/render_scheduler.h"
#include "ui/widgets/shape.h"
#include "ui/widgets/status_bar.h"

namespace rzl {

namespace {

// Every control: object name and rectangle in its parent. A zero size means "as large as its
// text" (labels that size themselves).
struct MainControl {
    const char* name;
    int left, top, width, height;
};

constexpr MainControl kMainWindowControls[] = {
    // The status group.
    {"GroupBox3", 0, 0, 313, 149},
    {"Label4", 9, 19, 264, 23},
    {"Image1", 285, 13, 24, 24},
    {"Label5", 9, 48, 263, 23},
    {"Image3", 285, 54, 24, 24},
    {"Label12", 9, 77, 0, 0},
    {"StaleNote", 110, 77, 170, 14},  // "No answer since 14:03:07" beside the signal
    {"Label6", 9, 100, 0, 0},
    {"Edit2", 76, 98, 104, 22},
    {"SpeedButton5", 186, 98, 63, 22},
    {"Image2", 285, 96, 24, 24},
    {"CheckBox1", 3, 126, 95, 17},
    // The input group.
    {"GroupBox1", 0, 149, 313, 139},
    {"Label14", 9, 3, 0, 0},
    {"Image4", 286, 18, 24, 24},
    {"Label1", 53, 22, 0, 0},   {"Shape6", 53, 44, 22, 10},    // DI0
    {"Label2", 116, 22, 0, 0},  {"Shape7", 116, 44, 22, 10},   // DI1
    {"Label3", 177, 22, 0, 0},  {"Shape8", 177, 44, 22, 10},   // DI2
    {"Label8", 240, 22, 0, 0},  {"Shape9", 240, 44, 22, 10},   // DI3
    {"Label9", 53, 75, 0, 0},   {"Shape4", 53, 95, 22, 10},    // DI4
    {"Label7", 116, 75, 0, 0},  {"Shape5", 116, 95, 22, 10},   // DI5
    {"Label10", 177, 75, 0, 0}, {"Shape10", 177, 95, 22, 10},  // DI6
    {"Label11", 240, 75, 0, 0}, {"Shape11", 240, 95, 22, 10},  // DI7
    // The output group.
    {"GroupBox2", 0, 288, 313, 149},
    {"Label13", 9, 2, 0, 0},
    {"Shape1", 44, 32, 60, 7},   {"SpeedButton4", 43, 37, 62, 28},  // DO0
    {"Shape2", 128, 32, 60, 7},  {"SpeedButton7", 127, 37, 62, 28}, // DO1
    {"Shape3", 211, 32, 60, 7},  {"SpeedButton8", 210, 37, 62, 28}, // DO2
    {"Shape12", 44, 85, 60, 7},  {"SpeedButton1", 43, 90, 62, 28},  // DO3
    {"Shape13", 128, 85, 60, 7}, {"SpeedButton2", 127, 90, 62, 28}, // DO4
    {"Shape14", 211, 85, 60, 7}, {"SpeedButton3", 210, 90, 62, 28}, // DO5
    // The foot.
    {"StatusBar2", 0, 438, 313, 19},
    {"StatusBar1", 0, 457, 313, 19},
    {"Memo1", 8, 333, 297, 123},
};

// Controls by input and output number.
constexpr const char* kDiLabels[8] = {"Label1", "Label2", "Label3", "Label8", "Label9", "Label7", "Label10", "Label11"};
constexpr const char* kDiShapes[8] = {"Shape6", "Shape7", "Shape8", "Shape9", "Shape4", "Shape5", "Shape10", "Shape11"};
constexpr const char* kDoBars[6] = {"Shape1", "Shape2", "Shape3", "Shape12", "Shape13", "Shape14"};
constexpr const char* kDoButtons[6] = {"SpeedButton4", "SpeedButton7", "SpeedButton8", "SpeedButton1", "SpeedButton2", "SpeedButton3"};

template <typename W>
W* Place(W* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    for (const MainControl& slot : kMainWindowControls) {
        if (qstrcmp(slot.name, name) != 0) continue;
        if (slot.width > 0) {
            widget->setGeometry(slot.left, slot.top, slot.width, slot.height);
        } else {
            widget->move(slot.left, slot.top);
            widget->adjustSize();
        }
        break;
    }
    return widget;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& caption) {
    auto* label = new QLabel(caption, parent);
    label->setTextFormat(Qt::PlainText);
    return Place(label, name);
}

// The group titles "DI" and "DO" sit on their group's frame line and cut it, as a caption would.
QLabel* MakeTitle(QWidget* parent, const char* name, const QString& caption) {
    QLabel* label = MakeLabel(parent, name, caption);
    label->setAutoFillBackground(true);
    label->setContentsMargins(2, 0, 2, 0);
    return Place(label, name);
}

PictureButton* MakeImage(QWidget* parent, const char* name, const char* picture, const QString& hint) {
    auto* image = new PictureButton(QStringLiteral(":/pictures/%1.svg").arg(QLatin1String(picture)), parent);
    image->setHint(hint);
    return Place(image, name);
}

// A button whose caption is the last state read, not the module's now: its caption in italics
// (grey would read as a button that cannot be pressed).
void ShowCaptionStale(QPushButton* button, bool stale) {
    if (button->font().italic() == stale) return;
    QFont font = button->font();
    font.setItalic(stale);
    button->setFont(font);
}

}  // namespace

MainWindow::MainWindow(Program& program, QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      ctx_(program.ctx),
      screen_(program.screen),
      form_(program.form1),
      search_(program.search) {
    setObjectName(QStringLiteral("TForm1"));
    setWindowTitle(QString::fromLatin1(TForm1::kCaption));
    setFixedSize(kClientWidth, kClientHeight);
    PrepareWindowFace(this, 11);
    build();
    wire();
    render();
}

void MainWindow::build() {
    auto* status = Place(new GroupFrame(QStringLiteral("Status"), this), "GroupBox3");
    status->setFont(TahomaFont(13, true));
    const QFont plain = TahomaFont(11);

    label4_ = MakeLabel(status, "Label4", QString());
    label4_->setFont(CalibriFont(19, true));
    image1_ = MakeImage(status, "Image1", "setup", QStringLiteral("Setup"));
    label5_ = MakeLabel(status, "Label5", QString());
    label5_->setFont(CalibriFont(19, true));
    image3_ = MakeImage(status, "Image3", "locator", QStringLiteral("Find me"));
    label12_ = MakeLabel(status, "Label12", QStringLiteral("RSSI:"));
    label12_->setFont(plain);
    staleNote_ = MakeLabel(status, "StaleNote", QString());
    staleNote_->setFont(plain);
    SetTextColour(staleNote_, QColor(170, 0, 0));
    QLabel* label6 = MakeLabel(status, "Label6", QStringLiteral("Device  IP:"));
    label6->setFont(plain);
    edit2_ = Place(new QLineEdit(status), "Edit2");
    label6->setBuddy(edit2_);
    edit2_->setAccessibleName(label6->text());
    edit2_->setFont(plain);
    speedButton5_ = Place(new QPushButton(QStringLiteral("Static IP"), status), "SpeedButton5");
    speedButton5_->setFont(plain);
    image2_ = MakeImage(status, "Image2", "refresh", QStringLiteral("Refresh"));
    checkBox1_ = Place(new QCheckBox(QStringLiteral("ACR Disable"), status), "CheckBox1");
    checkBox1_->setFont(plain);
    checkBox1_->hide();
    // Labels that size themselves need the font they show before they measure their text.
    for (const char* name : {"Label12", "Label6"}) Place(status->findChild<QLabel*>(QLatin1String(name)), name);

    groupBox1_ = Place(new GroupFrame(QString(), this), "GroupBox1");
    label14_ = MakeTitle(groupBox1_, "Label14", QStringLiteral("DI"));
    image4_ = MakeImage(groupBox1_, "Image4", "counter", QStringLiteral("Digital Input Counter"));
    for (int k = 0; k < 8; ++k) {
        const QString name = QStringLiteral("DI%1").arg(k);
        diLabels_[k] = MakeLabel(groupBox1_, kDiLabels[k], name);
        diShapes_[k] = Place(new Shape(groupBox1_), kDiShapes[k]);
        diShapes_[k]->setToolTip(name);
        diShapes_[k]->setAccessibleName(name);
    }

    groupBox2_ = Place(new GroupFrame(QString(), this), "GroupBox2");
    label13_ = MakeTitle(groupBox2_, "Label13", QStringLiteral("DO"));
    for (int k = 0; k < 6; ++k) {
        doBars_[k] = Place(new Shape(groupBox2_), kDoBars[k]);
        doBars_[k]->setAccessibleName(QStringLiteral("DO%1").arg(k));
        doButtons_[k] = Place(new QPushButton(QStringLiteral("DO%1 Off").arg(k), groupBox2_), kDoButtons[k]);
        doButtons_[k]->setToolTip(QStringLiteral("DO%1").arg(k));
    }

    statusBar2_ = Place(new PanelStatusBar({200, 200}, this), "StatusBar2");
    statusBar1_ = Place(new PanelStatusBar({200, 200}, this), "StatusBar1");
    memo1_ = Place(new QPlainTextEdit(this), "Memo1");
    memo1_->setReadOnly(true);
    memo1_->setMaximumBlockCount(Screen::kMemoLines);
    for (const QString& line : screen_.main.memo1) memo1_->appendPlainText(line);
    memo1_->hide();

    // Tab goes top to bottom, left to right: the status group, the counter picture, the outputs.
    const QList<QWidget*> order{image1_, image3_, edit2_, speedButton5_, image2_, image4_, doButtons_[0], doButtons_[1],
                                doButtons_[2], doButtons_[3], doButtons_[4], doButtons_[5]};
    for (qsizetype i = 0; i + 1 < order.size(); ++i) setTabOrder(order[i], order[i + 1]);
    edit2_->setFocus();  // the window opens with the address field ready for typing
}

void MainWindow::wire() {
    scheduler_ = new RenderScheduler(screen_, [this] { render(); }, this);
    new ActivationWatch(this, [this, done = false]() mutable {
        // Only the first activation matters to the main window.
        if (done) return;
        done = true;
        form_.FormActivate();
    });

    for (int k = 0; k < 6; ++k)
        connect(doButtons_[k], &QPushButton::clicked, this, [this, k] { form_.DoButtonClick(k); });
    connect(image1_, &PictureButton::clicked, this, [this] { form_.Image1Click(); });
    connect(image2_, &PictureButton::clicked, this, [this] { form_.Image2Click(); });
    connect(image3_, &PictureButton::clicked, this, [this] { form_.Image3Click(); });
    connect(image4_, &PictureButton::clicked, this, [this] { form_.Image4Click(); });
    connect(speedButton5_, &QPushButton::clicked, this, [this] { form_.SpeedButton5Click(); });
    // Return in the address field does exactly what the Static IP button does.
    connect(edit2_, &QLineEdit::returnPressed, speedButton5_, &QPushButton::click);
    connect(&screen_, &Screen::logged, memo1_, &QPlainTextEdit::appendPlainText);
    connect(edit2_, &QLineEdit::textEdited, this, [this](const QString& text) { screen_.main.edit2 = text; });
    connect(checkBox1_, &QCheckBox::clicked, this, [this](bool checked) {
        screen_.main.checkBox1 = checked;
        form_.CheckBox1Click();
    });

    // The protocol view adds nothing to this window's face: a key, told to screen readers.
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_L), this), &QShortcut::activated, this,
            &MainWindow::showProtocol);
    // The search is asked for, never started by itself: a sweep reaches every address of a network.
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_F), this), &QShortcut::activated, this,
            &MainWindow::showSearch);
    edit2_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(edit2_, &QLineEdit::customContextMenuRequested, this, [this](const QPoint& at) {
        QMenu* menu = edit2_->createStandardContextMenu();
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->addSeparator();
        menu->addAction(QStringLiteral("Find modules…"), this, &MainWindow::showSearch);
        menu->popup(edit2_->mapToGlobal(at));
    });
    // An address typed and taken with Static IP is kept among the recent modules.
    connect(speedButton5_, &QPushButton::clicked, this, [this] {
        if (ctx_.session.deviceIp == screen_.main.edit2.trimmed()) search_.remember(ctx_.session.deviceIp);
    });
    setAccessibleDescription(QStringLiteral("Ctrl+L shows the protocol view, Ctrl+F finds modules"));
}

SearchWindow* MainWindow::showSearch() {
    if (!searchWindow_) searchWindow_ = new SearchWindow(screen_, search_, this);
    searchWindow_->openForSearch();
    return searchWindow_;
}

ProtocolWindow* MainWindow::showProtocol() {
    if (!protocol_) protocol_ = new ProtocolWindow(ctx_.traffic, this);
    protocol_->showBeside(this);
    return protocol_;
}

void MainWindow::render() {
    const MainView& view = screen_.main;

    ShowLabel(label4_, view.label4, false);
    ShowLabel(label5_, view.label5, false);
    ShowLabel(label12_, view.label12, true);
    ShowLabel(label13_, view.label13, true);
    ShowLabel(label14_, view.label14, true);
    groupBox1_->setToolTip(view.groupBox1Hint);
    groupBox2_->setToolTip(view.groupBox2Hint);
    staleNote_->setText(view.staleNote);
    // Screen readers hear what the hatching shows.
    const QString notLive = view.stale ? view.staleNote + QStringLiteral(": the inputs and outputs shown are the last ones read")
                                       : QString();
    groupBox1_->setAccessibleDescription(notLive);
    groupBox2_->setAccessibleDescription(notLive);

    if (edit2_->text() != view.edit2) edit2_->setText(view.edit2);
    checkBox1_->setChecked(view.checkBox1);
    image1_->setEnabled(view.image1Enabled);
    image3_->setEnabled(view.image3Enabled);
    image4_->setEnabled(view.image4Enabled);

    for (int k = 0; k < 8; ++k) {
        diLabels_[k]->setEnabled(view.diLabelEnabled[k]);
        diShapes_[k]->setColours(ToQColor(view.diShapes[k].fill), ToQColor(view.diShapes[k].outline));
        diShapes_[k]->setStale(view.stale);
    }
    for (int k = 0; k < 6; ++k) {
        if (doButtons_[k]->text() != view.doButtons[k].caption) doButtons_[k]->setText(view.doButtons[k].caption);
        doButtons_[k]->setEnabled(view.doButtons[k].enabled);
        doBars_[k]->setColours(ToQColor(view.doBars[k].fill), ToQColor(view.doBars[k].outline));
        doBars_[k]->setStale(view.stale);
        ShowCaptionStale(doButtons_[k], view.stale);
    }
    for (int panel = 0; panel < 2; ++panel) {
        statusBar1_->setPanelText(panel, view.statusBar1[panel]);
        statusBar2_->setPanelText(panel, view.statusBar2[panel], panel == 0 ? view.statusDetail : QString());
    }
}

}  // namespace rzl
