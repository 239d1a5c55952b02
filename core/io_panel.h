#pragma once
// The module's outputs and inputs as the session keeps them, and what the display shows of them.

namespace rzl {

class Context;

// Masks doState and diState with the model's masks (the masked values stay) and shows them.
void UpdateIoPanel(Context& ctx);
// The no-module look: the state forgotten (all off) and nothing of the module shown.
void ResetIoPanel(Context& ctx);

// A supervision cycle of a polled module ended, with or without reading the state: once two in
// a row read nothing, the panel is marked as no longer live. A reply with the state takes the
// mark away (UpdateIoPanel).
void SupervisionCycleEnded(Context& ctx, bool stateRead);
// The panel is in doubt at once (an output switch that went unanswered).
void MarkReadingsStale(Context& ctx);

}  // namespace rzl
