#include "ui/screen.h"

namespace rzl {

void Screen::setStatusPanel(int bar, int panel, const QString& text) {
    auto& panels = bar == 1 ? main.statusBar1 : main.statusBar2;
    if (panel < 0 || panel >= static_cast<int>(panels.size())) return;
    panels[panel] = text;
    if (bar == 2 && panel == 0) main.statusDetail.clear();  // a new status line has its own cause
    emit statusShown(bar, panel, text);
    emit updated();
}

void Screen::showStatus(const QString& text) { setStatusPanel(2, 0, text); }

void Screen::log(const QString& line) {
    // The log is never shown; keeping only the newest lines bounds a run of days or weeks.
    if (main.memo1.size() >= kMemoLines) main.memo1.remove(0, main.memo1.size() - kMemoLines + 1);
    main.memo1.append(line);
    emit logged(line);
    emit updated();
}

}  // namespace rzl
