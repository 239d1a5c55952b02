#pragma once

#include <QString>

namespace rzl {

class Context;

inline const char* const kMarkerFileName = "rzl_dacr.cfg";

// Is this PC on the module's network? Shows the verdict in the main window.
bool CheckDeviceLink(Context& ctx);

// The main window's first activation: marker file, link check, first identify.
void FirstActivation(Context& ctx);

// "ACR Disable" changed: create the marker file where none is, or delete it.
void MarkerCheckBoxClicked(Context& ctx);

// The marker file: the working directory joined with kMarkerFileName, native separators.
QString MarkerFilePath(const Context& ctx);

}  // namespace rzl
