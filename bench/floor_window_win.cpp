// The floor that the Windows program's start-up, memory and idle figures are compared with under Wine: the least a
// plain Windows-API program must do to show a framed window of the query window's client size (9090 x 5025 twips)
// that draws a line in each of the program's faces ("宋体" 18 pt, "黑体" 18.75 pt bold, "宋体" 14.25 pt, GB2312).
// Nothing of the program is linked in. With --timer it also runs a 50 ms timer that does nothing: the floor for the
// cost of the program's idle ticks. With --hidden it shows nothing and waits: compare.py keeps one running so that
// Wine's virtual desktop stays up between runs, as a Windows desktop does (Wine closes it with its last program).
//
// Built twice. floor_window_win.exe has no manifest. floor_window_win_manifest.exe, the fair floor, is compiled with
// FLOOR_COMMON_CONTROL and linked with a manifest that asks for version 6 common controls and the program's DPI
// awareness, as every program of this kind must: it also shows one static control, whose creation loads comctl32 6
// from the side-by-side store as the program's first control does. Without the control the manifest alone would load
// nothing more.

#include <windows.h>

#include <cmath>
#include <cwchar>

namespace {

constexpr wchar_t ClassName[] = L"FloorWindow";
constexpr wchar_t Text[] = L"身份证号准考证号";

struct Face {
    const wchar_t* name;
    double points;
    int weight;
    int baseline; // where the line is drawn, in pixels at 96 dpi
};

constexpr Face Faces[] = {
    {L"黑体", 18.75, FW_BOLD, 40}, {L"宋体", 18, FW_NORMAL, 120}, {L"宋体", 14.25, FW_NORMAL, 300}};
HFONT fonts[3];

LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        SetBkMode(dc, TRANSPARENT);
        SetTextAlign(dc, TA_BASELINE | TA_LEFT);
        for (int i = 0; i < 3; ++i) {
            SelectObject(dc, fonts[i]);
            TextOutW(dc, 40, Faces[i].baseline, Text, int(std::wcslen(Text)));
        }
        EndPaint(window, &paint);
        return 0;
    }
    case WM_TIMER:
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int show)
{
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    for (int i = 0; i < 3; ++i)
        fonts[i] = CreateFontW(-int(std::lround(Faces[i].points * dpi / 72.0)), 0, 0, 0, Faces[i].weight, FALSE, FALSE,
                               FALSE, GB2312_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                               DEFAULT_PITCH | FF_DONTCARE, Faces[i].name);

    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = windowProcedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = ClassName;
    if (!RegisterClassExW(&windowClass))
        return 1;

    // The same fixed thin frame as the query window, sized for its client area.
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
    RECT rect{0, 0, MulDiv(9090, dpi, 1440), MulDiv(5025, dpi, 1440)};
    AdjustWindowRectEx(&rect, style, FALSE, 0);
    HWND window = CreateWindowExW(0, ClassName, L"floor_window_win", style, CW_USEDEFAULT, CW_USEDEFAULT,
                                  rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr, instance, nullptr);
    if (!window)
        return 1;
#ifdef FLOOR_COMMON_CONTROL
    // Between the second and the third line, in the window's font, as the program's labels are.
    HWND label =
        CreateWindowExW(0, L"STATIC", L"身份证号", WS_CHILD | WS_VISIBLE, MulDiv(40, dpi, 96), MulDiv(160, dpi, 96),
                        MulDiv(240, dpi, 96), MulDiv(40, dpi, 96), window, nullptr, instance, nullptr);
    if (!label)
        return 1;
    SendMessageW(label, WM_SETFONT, WPARAM(fonts[1]), FALSE);
#endif
    if (std::wcsstr(commandLine, L"--timer"))
        SetTimer(window, 1, 50, nullptr);
    if (!std::wcsstr(commandLine, L"--hidden")) {
        ShowWindow(window, show);
        UpdateWindow(window);
    }

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    for (HFONT font : fonts)
        DeleteObject(font);
    return int(message.wParam);
}
