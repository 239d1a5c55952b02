#include "link/link_supervisor.h"
namespace rzl {
void LinkSupervisorTick(Context&) {}
}  // namespace rzl
