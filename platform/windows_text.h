#pragma once
// Texts between the Windows API, which speaks UTF-16, and the rest of the program, which holds
// UTF-8 on every system (never the ANSI code page, which cannot hold most names).

#include <string>
#include <string_view>

namespace rzl::platform {

// FormatMessage's text for a system or Winsock error code, without the closing full stop
// and line break; "error N" when the system has none.
std::string SystemMessage(unsigned long code);
// A UTF-16 text from the API as UTF-8 (nullptr reads as empty).
std::string Utf8FromWide(const wchar_t* text);
std::string Utf8FromWide(std::wstring_view text);
// UTF-8 (a path, a line to show) as the API's UTF-16; a byte that is no UTF-8 becomes U+FFFD.
std::wstring WideFromUtf8(std::string_view text);

}  // namespace rzl::platform
