#include "link/target_address.h"
namespace rzl {
bool ChangeTargetAddress(Context&) { return false; }
}  // namespace rzl
