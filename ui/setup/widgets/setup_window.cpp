#include "ui/setup/widgets/setup_window.h"

#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QShowEvent>

#include "ui/program.h"
#include "ui/widgets/activation_watch.h"
#include "ui/widgets/colours.h"
#include "ui/widgets/fonts.h"
#include "ui/widgets/gauge.h"
#include "ui/widgets/group_frame.h"
#include "ui/widgets/label_view.h"
#include "ui/widgets/picture_button.h"
#include "ui/widgets/render_scheduler.h"

namespace rzl {

namespace {

enum class Kind { Group, Panel, Label, Edit, Radio, Check, Apply, Wide, Gauge };

// Every control: kind, object name, parent (empty: the window), rectangle, caption or default
// text, and the picture of a picture button. Groups come before what they hold.
struct SetupControl {
    Kind kind;
    const char* name;
    const char* parent;
    int left, top, width, height;
    const char* text;
    const char* picture = nullptr;
};

constexpr SetupControl kSetupWindowControls[] = {
    {Kind::Group, "GroupBox1", "", 2, -1, 348, 123, "AP "},
    {Kind::Label, "Label1", "GroupBox1", 12, 24, 0, 0, "SSID Name:"},
    {Kind::Edit, "Edit1", "GroupBox1", 100, 21, 200, 21, "DRQ-500-AP"},
    {Kind::Label, "Label3", "GroupBox1", 12, 54, 0, 0, "Key Type:"},
    {Kind::Radio, "RadioButton1", "GroupBox1", 100, 53, 70, 18, "Open"},
    {Kind::Radio, "RadioButton2", "GroupBox1", 175, 53, 100, 18, "WPA/WPA2"},
    {Kind::Label, "Label2", "GroupBox1", 12, 84, 0, 0, "SSID Key:"},
    {Kind::Edit, "Edit2", "GroupBox1", 100, 81, 200, 21, ""},
    {Kind::Apply, "Image2", "GroupBox1", 314, 79, 24, 24, "Write AP settings", "apply"},

    {Kind::Group, "GroupBox2", "", 356, -2, 348, 258, "Station"},
    {Kind::Label, "Label4", "GroupBox2", 12, 25, 0, 0, "SSID Name:"},
    {Kind::Edit, "Edit3", "GroupBox2", 100, 22, 200, 21, "Korvex"},
    {Kind::Label, "Label5", "GroupBox2", 12, 55, 0, 0, "Key Type:"},
    {Kind::Radio, "RadioButton3", "GroupBox2", 100, 54, 58, 18, "Open"},
    {Kind::Radio, "RadioButton4", "GroupBox2", 160, 54, 52, 18, "WEP"},
    {Kind::Radio, "RadioButton5", "GroupBox2", 215, 54, 95, 18, "WPA/WPA2"},
    {Kind::Label, "Label6", "GroupBox2", 12, 85, 0, 0, "SSID Key:"},
    {Kind::Edit, "Edit4", "GroupBox2", 100, 82, 200, 21, ""},
    {Kind::Apply, "Image3", "GroupBox2", 310, 80, 24, 24, "Write Station settings", "apply"},
    {Kind::Check, "CheckBox1", "GroupBox2", 12, 113, 120, 18, "Static IP"},
    {Kind::Panel, "Panel1", "GroupBox2", 8, 136, 330, 112, ""},
    {Kind::Label, "Label10", "Panel1", 10, 12, 0, 0, "IP:"},
    {Kind::Edit, "Edit8", "Panel1", 92, 9, 150, 21, ""},
    {Kind::Label, "Label11", "Panel1", 10, 44, 0, 0, "Net mask:"},
    {Kind::Edit, "Edit9", "Panel1", 92, 41, 150, 21, "255.255.255.0"},
    {Kind::Label, "Label12", "Panel1", 10, 76, 0, 0, "Gate way:"},
    {Kind::Edit, "Edit10", "Panel1", 92, 73, 150, 21, ""},
    {Kind::Apply, "Image10", "Panel1", 296, 72, 24, 24, "Write static IP settings", "apply"},

    {Kind::Group, "GroupBox5", "", 351, 249, 348, 49, "WiFi Mode "},
    {Kind::Radio, "RadioButton6", "GroupBox5", 20, 23, 60, 18, "AP "},
    {Kind::Radio, "RadioButton7", "GroupBox5", 100, 23, 80, 18, "Station"},
    {Kind::Apply, "Image4", "GroupBox5", 314, 19, 24, 24, "Switch Wi-Fi mode", "apply"},

    {Kind::Group, "GroupBox4", "", 2, 119, 348, 60, "WEB"},
    {Kind::Label, "Label7", "GroupBox4", 12, 28, 0, 0, "Login Key:"},
    {Kind::Edit, "Edit6", "GroupBox4", 100, 25, 200, 21, ""},
    {Kind::Apply, "Image5", "GroupBox4", 314, 23, 24, 24, "Write web login key", "apply"},

    {Kind::Group, "GroupBox6", "", 2, 172, 348, 66, "Modbus"},
    {Kind::Label, "Label9", "GroupBox6", 12, 30, 0, 0, "Port:"},
    {Kind::Edit, "Edit7", "GroupBox6", 52, 27, 58, 21, ""},
    {Kind::Label, "Label13", "GroupBox6", 124, 30, 0, 0, "Idle Timeout:"},
    {Kind::Edit, "Edit11", "GroupBox6", 212, 27, 46, 21, ""},
    {Kind::Label, "Label14", "GroupBox6", 264, 30, 0, 0, "Sec"},
    {Kind::Apply, "Image9", "GroupBox6", 314, 25, 24, 24, "Write Modbus settings", "apply"},

    {Kind::Group, "GroupBox3", "", 2, 231, 348, 67, "Location"},
    {Kind::Label, "Label8", "GroupBox3", 12, 31, 0, 0, "String:"},
    {Kind::Edit, "Edit5", "GroupBox3", 100, 28, 200, 21, ""},
    {Kind::Apply, "Image6", "GroupBox3", 314, 26, 24, 24, "Write location", "apply"},

    {Kind::Wide, "Image7", "", 34, 316, 178, 29, "Reset to Default", "reset"},
    {Kind::Wide, "Image1", "", 260, 316, 178, 29, "Update F/W", "update"},
    {Kind::Wide, "Image8", "", 486, 316, 178, 29, "Reboot device", "reboot"},
    {Kind::Gauge, "CGauge1", "", 0, 358, 701, 9, ""},
};

// The label each field is named by.
constexpr std::pair<const char*, const char*> kFieldLabels[] = {
    {"Label1", "Edit1"}, {"Label2", "Edit2"}, {"Label4", "Edit3"},   {"Label6", "Edit4"},
    {"Label10", "Edit8"}, {"Label11", "Edit9"}, {"Label12", "Edit10"}, {"Label7", "Edit6"},
    {"Label9", "Edit7"}, {"Label13", "Edit11"}, {"Label8", "Edit5"},
};

// The groups in the order Tab visits them ("" is the window itself: the wide pictures).
constexpr const char* kTabGroups[] = {"GroupBox1", "GroupBox4", "GroupBox6", "GroupBox3", "GroupBox2", "GroupBox5", ""};

// Whether a control sits in `group`, directly or in a panel of it.
bool InGroup(const SetupControl& slot, const char* group) {
    if (qstrcmp(slot.parent, group) == 0) return true;
    for (const SetupControl& holder : kSetupWindowControls)
        if (holder.kind == Kind::Panel && qstrcmp(holder.name, slot.parent) == 0) return qstrcmp(holder.parent, group) == 0;
    return false;
}

// Which record field each edit, radio button and check box shows.
struct TextField {
    const char* name;
    QString SetupView::*field;
};
const TextField kEdits[] = {
    {"Edit1", &SetupView::edit1}, {"Edit2", &SetupView::edit2},   {"Edit3", &SetupView::edit3},
    {"Edit4", &SetupView::edit4}, {"Edit5", &SetupView::edit5},   {"Edit6", &SetupView::edit6},
    {"Edit7", &SetupView::edit7}, {"Edit8", &SetupView::edit8},   {"Edit9", &SetupView::edit9},
    {"Edit10", &SetupView::edit10}, {"Edit11", &SetupView::edit11},
};

struct FlagField {
    const char* name;
    bool SetupView::*field;
};
const FlagField kChoices[] = {
    {"RadioButton1", &SetupView::radioButton1}, {"RadioButton2", &SetupView::radioButton2},
    {"RadioButton3", &SetupView::radioButton3}, {"RadioButton4", &SetupView::radioButton4},
    {"RadioButton5", &SetupView::radioButton5}, {"RadioButton6", &SetupView::radioButton6},
    {"RadioButton7", &SetupView::radioButton7}, {"CheckBox1", &SetupView::checkBox1},
};

// The six controls that follow the static-IP box.
constexpr const char* kStaticFields[] = {"Label10", "Label11", "Label12", "Edit8", "Edit9", "Edit10"};

// Picture buttons and the handlers they call.
struct Action {
    const char* name;
    void (TForm2::*handler)();
};
const Action kActions[] = {
    {"Image1", &TForm2::Image1Click}, {"Image2", &TForm2::Image2Click}, {"Image3", &TForm2::Image3Click},
    {"Image4", &TForm2::Image4Click}, {"Image5", &TForm2::Image5Click}, {"Image6", &TForm2::Image6Click},
    {"Image7", &TForm2::Image7Click}, {"Image8", &TForm2::Image8Click}, {"Image9", &TForm2::Image9Click},
    {"Image10", &TForm2::Image10Click},
};

QWidget* Make(const SetupControl& slot, QWidget* parent) {
    const QString text = QString::fromLatin1(slot.text);
    QWidget* widget = nullptr;
    switch (slot.kind) {
    case Kind::Group: {
        auto* group = new GroupFrame(text, parent);
        group->setFont(TahomaFont(qstrcmp(slot.name, "GroupBox5") == 0 ? 12 : 13, true));
        // Groups overlap their upper neighbour by a few pixels; a filled face keeps one frame line.
        group->setAutoFillBackground(true);
        widget = group;
        break;
    }
    case Kind::Panel: {
        auto* panel = new QFrame(parent);
        QPalette palette = panel->palette();
        palette.setColor(QPalette::Window, QColor(236, 236, 236));
        panel->setPalette(palette);
        panel->setAutoFillBackground(true);
        widget = panel;
        break;
    }
    case Kind::Label: {
        auto* label = new QLabel(text, parent);
        label->setFont(TahomaFont(13));
        widget = label;
        break;
    }
    case Kind::Edit: {
        auto* edit = new QLineEdit(text, parent);
        edit->setFont(TahomaFont(12, true));
        widget = edit;
        break;
    }
    case Kind::Radio:
        widget = new QRadioButton(text, parent);
        widget->setFont(TahomaFont(11));
        break;
    case Kind::Check:
        widget = new QCheckBox(text, parent);
        widget->setFont(TahomaFont(11));
        break;
    case Kind::Apply:
    case Kind::Wide: {
        auto* image = new PictureButton(QStringLiteral(":/pictures/%1.svg").arg(QLatin1String(slot.picture)), parent);
        if (slot.kind == Kind::Wide) image->setWords(text);
        else image->setAccessibleName(text);
        widget = image;
        break;
    }
    case Kind::Gauge: widget = new Gauge(parent); break;
    }
    widget->setObjectName(QString::fromLatin1(slot.name));
    if (slot.width > 0) {
        widget->setGeometry(slot.left, slot.top, slot.width, slot.height);
    } else {
        widget->move(slot.left, slot.top);
        widget->adjustSize();
    }
    return widget;
}

}  // namespace

SetupWindow::SetupWindow(Program& program, QWidget* parent)
    : QDialog(parent, kFixedDialogFlags),
      screen_(program.screen),
      form_(program.form2) {
    setObjectName(QStringLiteral("TForm2"));
    setWindowTitle(QString::fromLatin1(TForm2::kCaption));
    setFixedSize(kClientWidth, kClientHeight);
    setSizeGripEnabled(false);
    PrepareWindowFace(this, 11);
    build();
    wire();
    render();
}

void SetupWindow::build() {
    for (const SetupControl& slot : kSetupWindowControls) {
        QWidget* parent = *slot.parent ? findChild<QWidget*>(QLatin1String(slot.parent)) : this;
        Make(slot, parent);
    }
    // Each field is told by its label's text, and the label's mnemonic leads to it.
    for (const auto& [label, edit] : kFieldLabels) {
        auto* caption = findChild<QLabel*>(QLatin1String(label));
        auto* field = findChild<QLineEdit*>(QLatin1String(edit));
        caption->setBuddy(field);
        field->setAccessibleName(caption->text());
    }
    // Tab goes group by group: the left column top to bottom, then the right one, then the
    // three wide pictures left to right; within a group in the table's order.
    QWidget* previous = nullptr;
    for (const char* group : kTabGroups) {
        for (const SetupControl& slot : kSetupWindowControls) {
            if (slot.kind == Kind::Group || slot.kind == Kind::Panel || slot.kind == Kind::Label ||
                slot.kind == Kind::Gauge || !InGroup(slot, group))
                continue;
            auto* widget = findChild<QWidget*>(QLatin1String(slot.name));
            if (previous) setTabOrder(previous, widget);
            previous = widget;
        }
    }
    findChild<PictureButton*>(QStringLiteral("Image8"))->setHint(QStringLiteral("Reboot"));
    findChild<QCheckBox*>(QStringLiteral("CheckBox1"))->setToolTip(QStringLiteral("Static IP, only Station mode"));
    findChild<QLineEdit*>(QStringLiteral("Edit8"))->setToolTip(QStringLiteral("Station mode Static IP"));
    findChild<QLineEdit*>(QStringLiteral("Edit9"))->setToolTip(QStringLiteral("Station mode Subnet mask"));
    findChild<QLineEdit*>(QStringLiteral("Edit10"))->setToolTip(QStringLiteral("Station mode Gateway"));
}

void SetupWindow::wire() {
    new RenderScheduler(screen_, [this] { render(); }, this);
    new ActivationWatch(this, [this] { form_.FormActivate(); });
    connect(this, &QDialog::finished, this, [this] { form_.FormClose(); });

    for (const TextField& edit : kEdits) {
        connect(findChild<QLineEdit*>(QLatin1String(edit.name)), &QLineEdit::textEdited, this,
                [this, field = edit.field](const QString& text) { screen_.setup.*field = text; });
    }
    for (const FlagField& choice : kChoices) {
        auto* button = findChild<QAbstractButton*>(QLatin1String(choice.name));
        connect(button, &QAbstractButton::toggled, this, [this, field = choice.field](bool on) {
            if (!rendering_) screen_.setup.*field = on;
        });
    }
    connect(findChild<QCheckBox*>(QStringLiteral("CheckBox1")), &QCheckBox::clicked, this, [this] {
        form_.CheckBox1Click();
    });
    for (const Action& action : kActions) {
        connect(findChild<PictureButton*>(QLatin1String(action.name)), &PictureButton::clicked, this,
                [form = &form_, handler = action.handler] { (form->*handler)(); });
    }
}

// Opened (not restored from minimised): the activation that follows fills the fields.
void SetupWindow::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) form_.FormShow();
    QDialog::showEvent(event);
}

void SetupWindow::render() {
    const SetupView& view = screen_.setup;
    rendering_ = true;
    for (const TextField& edit : kEdits) {
        auto* widget = findChild<QLineEdit*>(QLatin1String(edit.name));
        if (widget->text() != view.*edit.field) widget->setText(view.*edit.field);
    }
    // Checked ones last, so a radio group never passes through "none checked".
    for (const FlagField& choice : kChoices)
        if (!(view.*choice.field)) findChild<QAbstractButton*>(QLatin1String(choice.name))->setChecked(false);
    for (const FlagField& choice : kChoices)
        if (view.*choice.field) findChild<QAbstractButton*>(QLatin1String(choice.name))->setChecked(true);
    for (const char* name : kStaticFields) findChild<QWidget*>(QLatin1String(name))->setEnabled(view.staticFieldsEnabled);

    auto* gauge = findChild<Gauge*>(QStringLiteral("CGauge1"));
    gauge->setRange(view.gauge.minimum, view.gauge.maximum);
    gauge->setPosition(view.gauge.position);
    gauge->setBarColour(ToQColor(view.gauge.bar));
    rendering_ = false;
}

}  // namespace rzl
