#include "filestore/retry_timer.h"
namespace rzl {
void RetryTimerTick(Context&) {}
}  // namespace rzl
