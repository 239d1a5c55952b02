#include "ui/main/io_panel.h"
namespace rzl {
void UpdateIoPanel(Context&) {}
void ResetIoPanel(Context&) {}
}  // namespace rzl
