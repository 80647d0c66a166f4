#include "frontends/windows/Display.h"

#include <cmath>
#include <string>

namespace frontend {

namespace {

// Declared here rather than taken from the SDK headers, which hide them from a Windows XP target.
using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using AdjustWindowRectExForDpiFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
using GetDpiForMonitorFn = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
using DwmGetWindowAttributeFn = HRESULT(WINAPI*)(HWND, DWORD, PVOID, DWORD);
constexpr int MdtEffectiveDpi = 0;
constexpr DWORD DwmwaExtendedFrameBounds = 9;

// A system DLL by its full path, so that no file beside the program is loaded in its place. Loaded once and kept
// for the life of the process, as Windows keeps it anyway.
HMODULE systemLibrary(const wchar_t* name)
{
    wchar_t directory[MAX_PATH];
    const UINT length = GetSystemDirectoryW(directory, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return nullptr;
    const std::wstring path = std::wstring(directory, length) + L'\\' + name;
    return LoadLibraryW(path.c_str());
}

template <class Fn> Fn lookUp(HMODULE module, const char* name)
{
    return module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

// Looked up on first use, then fixed for the run.
struct User32 {
    GetDpiForWindowFn getDpiForWindow;
    AdjustWindowRectExForDpiFn adjustWindowRectExForDpi;
};

const User32& user32()
{
    static const User32 functions = [] {
        const HMODULE module = GetModuleHandleW(L"user32.dll");
        return User32{lookUp<GetDpiForWindowFn>(module, "GetDpiForWindow"),
                      lookUp<AdjustWindowRectExForDpiFn>(module, "AdjustWindowRectExForDpi")};
    }();
    return functions;
}

GetDpiForMonitorFn getDpiForMonitor()
{
    static const GetDpiForMonitorFn function =
        lookUp<GetDpiForMonitorFn>(systemLibrary(L"shcore.dll"), "GetDpiForMonitor");
    return function;
}

DwmGetWindowAttributeFn dwmGetWindowAttribute()
{
    static const DwmGetWindowAttributeFn function =
        lookUp<DwmGetWindowAttributeFn>(systemLibrary(L"dwmapi.dll"), "DwmGetWindowAttribute");
    return function;
}

UINT monitorDpi(HMONITOR monitor)
{
    UINT x = 0, y = 0;
    if (const GetDpiForMonitorFn function = getDpiForMonitor();
        function && monitor && SUCCEEDED(function(monitor, MdtEffectiveDpi, &x, &y)) && x > 0)
        return x;
    return systemDpi();
}

} // namespace

UINT systemDpi()
{
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSX) : 0;
    if (screen)
        ReleaseDC(nullptr, screen);
    return dpi > 0 ? UINT(dpi) : USER_DEFAULT_SCREEN_DPI;
}

UINT windowDpi(HWND window)
{
    if (const GetDpiForWindowFn function = user32().getDpiForWindow) {
        if (const UINT dpi = function(window))
            return dpi;
    }
    return monitorDpi(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST));
}

UINT primaryScreenDpi(HWND onScreen)
{
    const HMONITOR primary = MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
    if (const GetDpiForWindowFn function = user32().getDpiForWindow;
        function && onScreen && MonitorFromWindow(onScreen, MONITOR_DEFAULTTONULL) == primary) {
        if (const UINT dpi = function(onScreen))
            return dpi;
    }
    return monitorDpi(primary);
}

bool outerSizeForClient(int clientWidth, int clientHeight, DWORD style, DWORD exStyle, UINT dpi, SIZE& outer)
{
    RECT rect{0, 0, clientWidth, clientHeight};
    // Before Windows 10 1607 the frame does not scale per monitor, and the plain function gives the frame there is.
    const AdjustWindowRectExForDpiFn forDpi = user32().adjustWindowRectExForDpi;
    const BOOL done =
        forDpi ? forDpi(&rect, style, FALSE, exStyle, dpi) : AdjustWindowRectEx(&rect, style, FALSE, exStyle);
    if (!done)
        return false;
    outer = SIZE{rect.right - rect.left, rect.bottom - rect.top};
    return true;
}

std::optional<RECT> compositedFrame(HWND window)
{
    const DwmGetWindowAttributeFn function = dwmGetWindowAttribute();
    RECT bounds{};
    if (!function || FAILED(function(window, DwmwaExtendedFrameBounds, &bounds, sizeof bounds)))
        return std::nullopt;
    if (bounds.right <= bounds.left || bounds.bottom <= bounds.top)
        return std::nullopt;
    return bounds;
}

int fontHeight(float points, UINT dpi)
{
    return -int(std::lround(double(points) * double(dpi) / 72.0));
}

} // namespace frontend
