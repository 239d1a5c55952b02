#pragma once

#include <QString>

namespace rzl {

class Context;

// Takes the main window's address field as the new target. False, with the reason shown to
// the user, when the text is not four decimal groups; the target is then unchanged.
bool ChangeTargetAddress(Context& ctx);

}  // namespace rzl
