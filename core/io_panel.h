#pragma once
// The module's outputs and inputs as the session keeps them, and what the display shows of them.

namespace rzl {

class Context;

// Masks doState and diState with the model's masks (the masked values stay) and shows them.
void UpdateIoPanel(Context& ctx);
// The no-module look: the state forgotten (all off) and nothing of the module shown.
void ResetIoPanel(Context& ctx);

}  // namespace rzl
