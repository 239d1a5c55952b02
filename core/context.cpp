#include "core/context.h"

namespace rzl {

Context::Context(Screen& screen_, DialogHost& dialogs_, Clock& clock_)
    : screen(screen_), dialogs(dialogs_), clock(clock_) {}

Context::~Context() = default;

}  // namespace rzl
