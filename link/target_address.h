#pragma once

#include <QString>
#include <optional>

namespace rzl {

class Context;

// Takes `text` (what the address field holds) as the new target and forgets the module that
// was identified (so the next cycle identifies anew), then runs the link check. Nothing, or
// when the text is not four decimal groups the reason; the target is then unchanged.
std::optional<QString> ChangeTargetAddress(Context& ctx, const QString& text);

// A target text split as the address change needs it: exactly four groups of plain
// decimal digits separated by "." (values not range-limited). On success, the subnet
// prefix: the text up to and including its third ".". Otherwise empty, with the reason.
std::optional<QString> TargetSubnetPrefix(const QString& text, QString* reason = nullptr);

}  // namespace rzl
