#pragma once

namespace rzl {

class Context;

// One event of the 100 ms supervision timer: the queued command, or every 31st event a
// supervision cycle (link check, then identify or poll).
void LinkSupervisorTick(Context& ctx);

}  // namespace rzl
