#pragma once
// What the windows show: one record per window, written by ScreenDisplay from the core's events
// and by the windows' behaviour (TForm1, TForm2, TForm3, ModuleSearch); the widgets render them
// and write back only what the user types or ticks. The core never reads them.
//
// Glossary. The records keep the form and control names of the windows' original design
// (TForm1 the main window, TForm2 the setup window, TForm3 the counter window; Label4, Edit8,
// RadioButton6, StatusBar2, Memo1, CGauge1...), because the module's documentation, its users'
// notes and this program's tests speak of the controls by those names: "the address in Edit2",
// "StatusBar2 says Connect Timeout". Each field says what the control holds. The widgets carry
// the same names as object names, so a test or a screen reader finds "StatusBar2" as well.

#include <QList>
#include <QString>
#include <QStringList>
#include <array>

#include "ui/colour.h"

namespace rzl {

struct LabelView {
    QString caption;
    Colour font = colours::kBlack;
    bool enabled = true;
    QString hint;
};

struct ButtonView {
    QString caption;
    bool enabled = true;
};

// TForm1, "rZL-Ctrl V1.30(20200213)".
struct MainView {
    LabelView label4{QString(), colours::kRed};               // device name; hint = module text
    LabelView label5{QString(), colours::kNavy};              // location
    LabelView label12{QStringLiteral("RSSI:"), colours::kPurple};
    LabelView label13{QStringLiteral("DO")};                  // output group title
    LabelView label14{QStringLiteral("DI")};                  // input group title
    QString groupBox1Hint;                                    // input text
    QString groupBox2Hint;                                    // output text
    std::array<QString, 2> statusBar1;
    std::array<QString, 2> statusBar2;                        // panel 0 is the status line
    QString statusDetail;  // what lies behind the status line's text ("Connection refused"), in its tool tip
    QString edit2;                                            // the target address field
    bool checkBox1 = false;                                   // "ACR Disable", never visible

    // Outputs by number k = 0..5 (SpeedButton4, 7, 8, 1, 2, 3 and Shape1, 2, 3, 12, 13, 14).
    std::array<ButtonView, 6> doButtons;
    std::array<ShapeColours, 6> doBars;
    // Inputs by number k = 0..7 (Label1, 2, 3, 8, 9, 7, 10, 11 and Shape6..9, 4, 5, 10, 11).
    std::array<bool, 8> diLabelEnabled{};
    std::array<ShapeColours, 8> diShapes;

    // The inputs and outputs shown are the last ones read, not live: the indicators are drawn
    // hatched and the note says since when ("No answer since 14:03:07").
    bool stale = false;
    QString staleNote;

    bool image1Enabled = false;  // Setup
    bool image3Enabled = false;  // Find me
    bool image4Enabled = false;  // Digital Input Counter
    // Image2 (Refresh) is always enabled.

    QStringList memo1;  // the hidden log
};

// A count that was never read.
inline constexpr QChar kNotRead = QChar(0x2014);  // "—"

// TForm3, "Digital Input Counter ".
struct CounterView {
    // Label2, 4, ..., 16: the counts last read, "—" until one is.
    std::array<QString, 8> values{kNotRead, kNotRead, kNotRead, kNotRead, kNotRead, kNotRead, kNotRead, kNotRead};
    QString note;  // "Read at 14:03:07", "Not read: no answer"
    bool upperRowsEnabled = true;  // rows DI4..DI7
};

struct GaugeView {
    int minimum = 0;
    int maximum = 100;
    int position = 0;
    Colour bar = colours::kBlue;
};

// TForm2, "rZL.Setup". Edit texts are what the field holds (typed or filled in).
struct SetupView {
    QString edit1 = QStringLiteral("DRQ-500-AP");  // AP SSID
    QString edit2;                                  // AP key
    bool radioButton1 = true;                       // AP open
    bool radioButton2 = false;                      // AP WPA/WPA2
    QString edit3 = QStringLiteral("Korvex");       // Station SSID
    QString edit4;                                  // Station key
    bool radioButton3 = false;                      // Station open
    bool radioButton4 = false;                      // Station WEP
    bool radioButton5 = true;                       // Station WPA/WPA2
    bool checkBox1 = false;                         // Static IP
    bool staticFieldsEnabled = false;               // Label10..12, Edit8..10
    QString edit8;                                  // static IP
    QString edit9 = QStringLiteral("255.255.255.0");
    QString edit10;                                 // gateway
    bool radioButton6 = false;                      // Wi-Fi mode AP
    bool radioButton7 = true;                       // Wi-Fi mode Station
    QString edit6;                                  // web login key
    QString edit7;                                  // Modbus port
    QString edit11;                                 // Modbus idle timeout
    QString edit5;                                  // location
    GaugeView gauge;                                // CGauge1
};

// The search window: a sweep of this PC's networks for modules, and the recent ones.
struct SearchRow {
    QString address;
    QString model;
    QString location;
    QString mac;
    QString firmware;
    QString signal;    // "-60 dBm", empty when not reported
    QString note;      // "reports 10.0.0.9", "recent, not seen in this search"
    bool recent = false;
    bool seen = false;  // answered in this search
};

struct SearchView {
    QString range;      // "192.168.77.0/24, 10.1.0.0/22"
    bool searching = false;
    int done = 0;       // addresses done of total
    int total = 0;
    QList<SearchRow> rows;  // the recent modules first, then the others by address
    QString summary;    // after a sweep: tried, found, the hosts that answered wrongly, the time
    QString problem;    // a range that cannot be read, no network to search
};

}  // namespace rzl
