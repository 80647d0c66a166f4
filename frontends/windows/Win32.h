#pragma once

// The Windows headers, configured once for the whole front end: Unicode, Windows 7 SP1 as the oldest target (so
// nothing newer is linked by accident; later functions are looked up at run time, Dpi.h), no min/max macros.

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
#define _WIN32_WINNT 0x0601
#endif
#ifndef WINVER
#define WINVER 0x0601
#endif

#include <windows.h>

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
