#pragma once

#include <QString>
#include <optional>

namespace rzl {

class Context;

// Takes the main window's address field as the new target and forgets the module that was
// identified (so the next cycle identifies anew). False, with the reason shown to the user,
// when the text is not four decimal groups; the target and the module shown are then unchanged.
bool ChangeTargetAddress(Context& ctx);

// A target text split as the address change needs it: exactly four groups of plain
// decimal digits separated by "." (values not range-limited). On success, the subnet
// prefix: the text up to and including its third ".". Otherwise empty, with the reason.
std::optional<QString> TargetSubnetPrefix(const QString& text, QString* reason = nullptr);

}  // namespace rzl
