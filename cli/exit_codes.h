#pragma once

namespace rzl::cli {

enum ExitCode {
    kExitDone = 0,
    kExitUsage = 1,
    kExitUnreachable = 2,   // "Connect Timeout"
    kExitNoReply = 3,       // no reply, or a reply not accepted
    kExitNotLinked = 4,     // the link check failed
    kExitForeignModule = 5, // the identify reply came from a module at another address
    kExitOutput = 6,        // standard output closed or not written: the results were lost
    kExitBusy = 7,          // another program on this PC was writing to the module all the while
    kExitInterrupted = 130, // SIGINT (Ctrl+C), as a shell reports a program it ended
    kExitTerminated = 143,  // SIGTERM
};

}  // namespace rzl::cli
