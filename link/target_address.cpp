#include "link/target_address.h"

#include <QStringList>

#include "core/context.h"

namespace rzl {

std::optional<QString> TargetSubnetPrefix(const QString& text, QString* reason) {
    auto refuse = [reason](const QString& why) -> std::optional<QString> {
        if (reason) *reason = why;
        return std::nullopt;
    };
    const QStringList groups = text.split(QLatin1Char('.'));
    if (groups.size() != 4)
        return refuse(QStringLiteral("an address needs four groups of digits separated by dots"));
    for (const QString& group : groups) {
        if (group.isEmpty()) return refuse(QStringLiteral("a group of digits is missing"));
        // Plain ASCII digits only: no sign, blank, hexadecimal or other scripts' digits.
        for (const QChar c : group)
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return refuse(QStringLiteral("'%1' is not a decimal number").arg(group));
        bool ok = false;
        group.toInt(&ok);
        if (!ok) return refuse(QStringLiteral("'%1' is too large a number").arg(group));
    }
    return text.left(text.lastIndexOf(QLatin1Char('.')) + 1);
}

std::optional<QString> ChangeTargetAddress(Context& ctx, const QString& text) {
    ctx.host.typedIp = text;

    QString reason;
    const auto prefix = TargetSubnetPrefix(text, &reason);
    if (!prefix) return reason;
    ctx.host.subnetPrefix8 = prefix->toLatin1();
    ctx.session.deviceIp = ctx.host.typedIp;
    ctx.host.subnetPrefix = *prefix;
    // Whatever answers at the new address is a module not met yet: the next supervision
    // cycle identifies it, and the old module's MAC, address and firmware stop showing.
    ctx.session.deviceIdentified = false;
    ctx.session.countersReadAt = {};
    ctx.session.refusedCommand = 0;  // the old module's refusal is not the new one's
    ctx.display.targetChanged(ctx.session.deviceIp);
    ctx.linkCheck();  // shows what it finds on the new subnet; the target stays set either way
    return std::nullopt;
}

}  // namespace rzl
