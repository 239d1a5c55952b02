#include "core/context.h"

namespace rzl {

Context::Context(Display& display_, Clock& clock_) : display(display_), clock(clock_) {}

Context::~Context() = default;

void Context::log(const QString& line) {
    display.log(line);
    traffic.log(line);
}

}  // namespace rzl
