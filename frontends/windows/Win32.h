#pragma once

// The Windows headers, configured once for the whole front end: Unicode, Windows XP (5.01) as the oldest target, so
// that the headers hide every function XP lacks and nothing newer is imported by accident (later functions are looked
// up at run time, Display.h); no min/max macros.

#ifndef UNICODE
#define UNICODE
#endif
#ifndef _UNICODE
#define _UNICODE
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0501
#endif
#ifndef WINVER
#define WINVER 0x0501
#endif

#include <windows.h>

// Names that the headers give only to newer targets: a message and a value that the program meets on the systems that
// have them.
#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif
#ifndef USER_DEFAULT_SCREEN_DPI
#define USER_DEFAULT_SCREEN_DPI 96
#endif

#include <string>
#include <string_view>

namespace frontend {

// char16_t and wchar_t are the same UTF-16 code units on Windows.
inline const wchar_t* wide(std::u16string_view text)
{
    return reinterpret_cast<const wchar_t*>(text.data());
}

inline std::wstring wideString(std::u16string_view text)
{
    return {wide(text), text.size()};
}

} // namespace frontend
