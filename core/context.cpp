#include "core/context.h"

namespace rzl {

Context::Context(Screen& screen_, DialogHost& dialogs_, Clock& clock_)
    : screen(screen_), dialogs(dialogs_), clock(clock_) {
    QObject::connect(&screen, &Screen::logged, &traffic, &TrafficRecord::log);
}

Context::~Context() = default;

}  // namespace rzl
