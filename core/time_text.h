#pragma once
// Times as the programs print them: local time with its offset from UTC, so lines written across
// a change of the clocks, or read on another PC, still say when they happened.

#include <QDateTime>
#include <QString>

namespace rzl {

// "2026-12-10T17:48:52.641+01:00"
inline QString IsoTimeWithOffset(const QDateTime& time) {
    const QDateTime local = time.toLocalTime();
    return local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODateWithMs);
}

}  // namespace rzl
