#pragma once
// The windows' side of the core's events: each one written into the records of ui/views.h in
// the windows' own words ("Connect Timeout", "Set DO Done! DI:05", "RSSI: -60dBm"). rzlctl
// builds one too and prints the status line and the log that it writes.

#include "core/display.h"
#include "ui/screen.h"

namespace rzl {

// The status line's text for a notice.
QString NoticeText(const Notice& notice);
// "14:03:07", in local time.
QString TimeOfDay(const QDateTime& time);
// "No answer since 14:03:07", in local time; "No answer" when nothing was ever read.
QString NoAnswerSince(const QDateTime& lastRead);

class ScreenDisplay : public Display {
public:
    ScreenDisplay(Screen& screen, DialogHost& dialogs) : screen_(screen), dialogs_(dialogs) {}

    void notice(const Notice& notice) override;
    void connected() override;
    void log(const QString& line) override;
    void layout(PanelLayout layout) override;
    void identified(const Identity& identity) override;
    void ioState(std::uint8_t doBits, std::uint8_t diBits) override;
    void readingsStale(const QDateTime& lastRead) override;
    void readingsLive() override;
    void rssi(int dbm) override;
    void counters(const std::array<std::uint32_t, 8>& values, const QDateTime& readAt) override;
    void countersNotRead(ReadFailure why, const QDateTime& lastRead) override;
    void checksumCompared(bool match) override;
    void noModule() override;
    void linkFound(const QString& deviceIp) override;
    void linkFailed(LinkFailure why) override;
    void target(const QString& deviceIp) override;
    void targetChanged(const QString& deviceIp) override;
    void transfer(const TransferProgress& progress) override;
    void refresh() override;

private:
    Screen& screen_;
    DialogHost& dialogs_;
};

}  // namespace rzl
