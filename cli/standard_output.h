#pragma once
// rzlctl's results go to standard output; a script that reads them must learn when they were lost.

#include <QString>
#include <optional>

namespace rzl::cli {

// Run before anything opens a socket or file. A closed standard input or error is given /dev/null,
// so the next descriptor opened cannot take its number (a socket on descriptor 2 would receive the
// messages). A closed standard output is the problem returned: the results would have nowhere to go.
std::optional<QString> GuardStandardStreams();

// Flushes and closes standard output: the problem when anything written to it was lost.
std::optional<QString> CloseStandardOutput();

}  // namespace rzl::cli
