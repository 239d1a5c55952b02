#pragma once
// The main window's behaviour, apart from its widgets: every handler the window forwards.

#include <QObject>
#include <QTimer>

namespace rzl {

struct Program;

class TForm1 : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kCaption = "rZL-Ctrl V1.30(20200213)";

    explicit TForm1(Program& program);

    void FormCreate();        // palette, no-module look, polling on, Timer3 restarted
    void FormActivate();      // first activation: marker file, link check, first identify
    void CheckBox1Click();    // "ACR Disable"
    void Timer3Timer();       // link supervision
    void Timer1Timer();       // re-send after a reply time-out
    void DoButtonClick(int output);  // output 0..5 (SpeedButton4, 7, 8, 1, 2, 3)
    void Image1Click();       // Setup
    void Image2Click();       // Refresh
    void Image3Click();       // Find me
    void Image4Click();       // Digital Input Counter
    void SpeedButton5Click(); // Static IP: take the address field as the target

    // Timer1 runs from creation; Timer3 from FormCreate. Both need a running event loop.
    QTimer timer1;
    QTimer timer3;

private:
    Program& p_;
};

// The main window's first activation: the working directory, the marker file (CheckBox1 ticked
// when it is there), the link check, then the first identify queued or the user told why not.
void FirstActivation(Program& program);

// "ACR Disable" (CheckBox1) changed: the link check off or on, the marker file made or deleted.
void MarkerCheckBoxClicked(Program& program);

}  // namespace rzl
