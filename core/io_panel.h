#pragma once

namespace rzl {

class Context;

// Masks doState/diState (stored back) and shows them on the DO bars, captions and DI indicators.
void UpdateIoPanel(Context& ctx);
// The no-module look.
void ResetIoPanel(Context& ctx);

}  // namespace rzl
