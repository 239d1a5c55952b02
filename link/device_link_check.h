#pragma once

#include <QString>

namespace rzl {

class Context;

inline const char* const kMarkerFileName = "rzl_dacr.cfg";

// Is this PC on the module's network? Tells the display the verdict. Answers linked at once
// while the check is off ("ACR Disable").
bool CheckDeviceLink(Context& ctx);

// The marker file: the working directory joined with kMarkerFileName, native separators.
QString MarkerFilePath(const Context& ctx);
bool MarkerFilePresent(const Context& ctx);

// "ACR Disable" on or off for this run: on creates the marker file where none is (an existing
// one keeps its content, a link is never followed), off deletes it. Failures are not shown: the
// switch keeps its state for this run.
void SetLinkCheckOff(Context& ctx, bool off);

}  // namespace rzl
