#pragma once
// Texts from the Windows API in the 8-bit encoding the rest of the program reads them in (the
// ANSI code page, as Qt's fromLocal8Bit takes it on Windows).

#include <string>

namespace rzl::platform {

// FormatMessage's text for a system or Winsock error code, without the closing full stop
// and line break; "error N" when the system has none.
std::string SystemMessage(unsigned long code);
// A UTF-16 text from the API (nullptr reads as empty).
std::string NarrowText(const wchar_t* text);

}  // namespace rzl::platform
