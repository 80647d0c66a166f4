// wintool: what a test needs to see of a Windows program from outside, run under Wine in the program's prefix.
//
//   wintool windows                  every top-level window of the desktop
//   wintool controls HWND            the window and its child controls
//   wintool version FILE             the version record of FILE, read through the version API
//   wintool font FACE CHARSET HEIGHT the face GDI gives a program that asks for FACE (substitutes applied)
//
// Output is one JSON document in UTF-8 on standard output. Rectangles are [left, top, right, bottom] in desktop
// (screen) coordinates; "client" is the client area in the same coordinates. The harness decides what the data means,
// so the tool only reports: it never clicks, types or changes a window.

#include <windows.h>

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace {

std::string utf8(std::wstring_view text)
{
    if (text.empty())
        return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(size_t(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), out.data(), size, nullptr, nullptr);
    return out;
}

std::string quoted(std::wstring_view text)
{
    std::string out = "\"";
    for (const char c : utf8(text)) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", unsigned(c));
                out += escaped;
            } else {
                out += c;
            }
        }
    }
    return out + "\"";
}

std::string rect(const RECT& r)
{
    return "[" + std::to_string(r.left) + ", " + std::to_string(r.top) + ", " + std::to_string(r.right) + ", " +
           std::to_string(r.bottom) + "]";
}

// The console's code page does not matter: the bytes go to the pipe as they are.
void emit(const std::string& text)
{
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), DWORD(text.size()), &written, nullptr);
}

std::wstring windowText(HWND window)
{
    // WM_GETTEXT rather than GetWindowTextW: the latter does not ask a window of another process for an edit
    // box's contents.
    const LRESULT length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(size_t(length) + 1, L'\0');
    const LRESULT copied = SendMessageW(window, WM_GETTEXT, WPARAM(text.size()), LPARAM(text.data()));
    text.resize(size_t(copied));
    return text;
}

std::wstring className(HWND window)
{
    wchar_t name[256] = {};
    const int length = GetClassNameW(window, name, 256);
    return std::wstring(name, size_t(length));
}

unsigned long long handle(HWND window)
{
    return reinterpret_cast<ULONG_PTR>(window);
}

// Fields shared by top-level windows and controls.
std::string describe(HWND window)
{
    RECT outer{}, client{};
    GetWindowRect(window, &outer);
    GetClientRect(window, &client);
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    OffsetRect(&client, origin.x, origin.y);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    char numbers[256];
    std::snprintf(numbers, sizeof numbers,
                  "\"hwnd\": %llu, \"pid\": %lu, \"id\": %lld, \"style\": %lu, \"exstyle\": %lu, \"visible\": %s, "
                  "\"owner\": %llu, \"parent\": %llu",
                  handle(window), pid, static_cast<long long>(GetWindowLongPtrW(window, GWLP_ID)),
                  static_cast<unsigned long>(GetWindowLongPtrW(window, GWL_STYLE)),
                  static_cast<unsigned long>(GetWindowLongPtrW(window, GWL_EXSTYLE)),
                  IsWindowVisible(window) ? "true" : "false", handle(GetWindow(window, GW_OWNER)),
                  handle(GetAncestor(window, GA_PARENT)));
    // A static control's picture (a message box's icon is one); none for other classes.
    const bool image = CompareStringOrdinal(className(window).c_str(), -1, L"Static", -1, TRUE) == CSTR_EQUAL &&
                       (SendMessageW(window, STM_GETICON, 0, 0) || SendMessageW(window, STM_GETIMAGE, IMAGE_BITMAP, 0));
    return std::string("{") + numbers + ", \"image\": " + (image ? "true" : "false") +
           ", \"class\": " + quoted(className(window)) +
           ", \"text\": " + quoted(windowText(window)) + ", \"rect\": " + rect(outer) + ", \"client\": " + rect(client);
}

std::string topLevel(HWND window)
{
    // The icons the window shows in its title bar and in the task list, by the window's own or its class's.
    const bool smallIcon = SendMessageW(window, WM_GETICON, ICON_SMALL, 0) || SendMessageW(window, WM_GETICON, ICON_SMALL2, 0) ||
                           GetClassLongPtrW(window, GCLP_HICONSM);
    const bool bigIcon = SendMessageW(window, WM_GETICON, ICON_BIG, 0) || GetClassLongPtrW(window, GCLP_HICON);
    const UINT dpi = GetDpiForWindow(window);
    return describe(window) + ", \"icon_small\": " + (smallIcon ? "true" : "false") +
           ", \"icon_big\": " + (bigIcon ? "true" : "false") + ", \"dpi\": " + std::to_string(dpi) +
           ", \"foreground\": " + (GetForegroundWindow() == window ? "true" : "false") +
           ", \"enabled\": " + (IsWindowEnabled(window) ? "true" : "false");
}

// The callback of EnumWindows and EnumChildWindows: a window procedure's calling convention, which a lambda lacks
// in a 32-bit program.
BOOL CALLBACK collect(HWND window, LPARAM list)
{
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

int listWindows()
{
    std::vector<HWND> windows;
    EnumWindows(collect, LPARAM(&windows));
    std::string out = "{\"desktop\": " + std::to_string(GetSystemMetrics(SM_CXSCREEN)) + ", \"desktop_h\": " +
                      std::to_string(GetSystemMetrics(SM_CYSCREEN)) + ", \"windows\": [";
    bool first = true;
    for (HWND window : windows) {
        // Top-level windows of other desktops' helpers are not of interest; the z-order is the list's order.
        out += (first ? "\n" : ",\n") + topLevel(window) + "}";
        first = false;
    }
    emit(out + "]}\n");
    return 0;
}

int listControls(HWND window)
{
    if (!IsWindow(window)) {
        emit("{\"error\": \"no such window\"}\n");
        return 2;
    }
    std::vector<HWND> children;
    EnumChildWindows(window, collect, LPARAM(&children));
    HWND focus = nullptr;
    GUITHREADINFO gui{};
    gui.cbSize = sizeof gui;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &gui))
        focus = gui.hwndFocus;
    std::string out = topLevel(window) + ", \"focus\": " + std::to_string(handle(focus)) + ", \"controls\": [";
    bool first = true;
    for (HWND child : children) {
        out += (first ? "\n" : ",\n") + describe(child) + "}";
        first = false;
    }
    emit(out + "]}\n");
    return 0;
}

int readVersion(const wchar_t* file)
{
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(file, &ignored);
    std::vector<unsigned char> data(size);
    if (size == 0 || !GetFileVersionInfoW(file, 0, size, data.data())) {
        emit("{\"error\": \"no version record (" + std::to_string(GetLastError()) + ")\"}\n");
        return 2;
    }
    std::string out = "{";
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) && length >= sizeof *fixed) {
        char numbers[256];
        std::snprintf(numbers, sizeof numbers,
                      "\"signature\": %lu, \"file_version\": [%lu, %lu], \"product_version\": [%lu, %lu], "
                      "\"file_type\": %lu, \"file_os\": %lu, ",
                      fixed->dwSignature, fixed->dwFileVersionMS, fixed->dwFileVersionLS, fixed->dwProductVersionMS,
                      fixed->dwProductVersionLS, fixed->dwFileType, fixed->dwFileOS);
        out += numbers;
    }
    out += "\"translations\": [";
    struct Translation {
        WORD language, codePage;
    }* translations = nullptr;
    std::vector<std::wstring> tables;
    if (VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translations), &length)) {
        for (UINT i = 0; i < length / sizeof *translations; ++i) {
            wchar_t table[16];
            swprintf(table, 16, L"%04X%04X", translations[i].language, translations[i].codePage);
            tables.emplace_back(table);
            out += (i ? ", [" : "[") + std::to_string(translations[i].language) + ", " +
                   std::to_string(translations[i].codePage) + "]";
        }
    }
    out += "], \"strings\": {";
    // Looked up by the table the translation names: a table under another key stays invisible to Windows too.
    static const wchar_t* const names[] = {L"CompanyName",      L"FileDescription", L"FileVersion",
                                           L"InternalName",     L"LegalCopyright",  L"OriginalFilename",
                                           L"ProductName",      L"ProductVersion"};
    bool first = true;
    for (const std::wstring& table : tables) {
        for (const wchar_t* name : names) {
            const std::wstring path = L"\\StringFileInfo\\" + table + L"\\" + name;
            wchar_t* value = nullptr;
            if (VerQueryValueW(data.data(), path.c_str(), reinterpret_cast<void**>(&value), &length) && value) {
                out += (first ? "" : ", ") + quoted(table + L"/" + name) + ": " + quoted(value);
                first = false;
            }
        }
    }
    // The program file's icon as Explorer shows it: how many the file has, and the size of the first.
    const UINT icons = ExtractIconExW(file, -1, nullptr, nullptr, 0);
    int iconWidth = 0, iconHeight = 0;
    HICON large = nullptr;
    if (icons > 0 && ExtractIconExW(file, 0, &large, nullptr, 1) == 1 && large) {
        ICONINFO info{};
        if (GetIconInfo(large, &info)) {
            BITMAP bitmap{};
            GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
            iconWidth = bitmap.bmWidth;
            iconHeight = info.hbmColor ? bitmap.bmHeight : bitmap.bmHeight / 2;
            DeleteObject(info.hbmColor);
            DeleteObject(info.hbmMask);
        }
        DestroyIcon(large);
    }
    emit(out + "}, \"icons\": " + std::to_string(icons) + ", \"icon_size\": [" + std::to_string(iconWidth) + ", " +
         std::to_string(iconHeight) + "]}\n");
    return 0;
}

int resolveFont(const wchar_t* face, int charset, int height)
{
    // Asked for as the program asks (CreateFontW, default precision and quality), then named by the family of the
    // font GDI actually selected: GetTextFaceW would only repeat the name asked for.
    HFONT font = CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DWORD(charset), OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = font && dc ? SelectObject(dc, font) : nullptr;
    std::vector<unsigned char> data(old ? GetOutlineTextMetricsW(dc, 0, nullptr) : 0);
    auto* metrics = reinterpret_cast<OUTLINETEXTMETRICW*>(data.data());
    const bool ok = !data.empty() && GetOutlineTextMetricsW(dc, UINT(data.size()), metrics);
    std::string out;
    if (ok) {
        const size_t familyOffset = reinterpret_cast<size_t>(metrics->otmpFamilyName);
        const auto* family = reinterpret_cast<const wchar_t*>(data.data() + familyOffset);
        const TEXTMETRICW& text = metrics->otmTextMetrics;
        out = "{\"family\": " + quoted(family) + ", \"charset\": " + std::to_string(text.tmCharSet) +
              ", \"height\": " + std::to_string(text.tmHeight) +
              ", \"internal_leading\": " + std::to_string(text.tmInternalLeading) + "}\n";
    }
    if (old)
        SelectObject(dc, old);
    if (dc)
        DeleteDC(dc);
    if (font)
        DeleteObject(font);
    emit(ok ? out : "{\"error\": \"no outline font for that request\"}\n");
    return ok ? 0 : 2;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    // Coordinates in physical pixels whatever the desktop's resolution, as a person on the screen sees them.
    SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    const std::wstring_view command = argc > 1 ? argv[1] : L"";
    if (command == L"windows" && argc == 2)
        return listWindows();
    if (command == L"controls" && argc == 3)
        return listControls(reinterpret_cast<HWND>(static_cast<ULONG_PTR>(_wcstoui64(argv[2], nullptr, 10))));
    if (command == L"version" && argc == 3)
        return readVersion(argv[2]);
    if (command == L"font" && argc == 5)
        return resolveFont(argv[2], _wtoi(argv[3]), _wtoi(argv[4]));
    emit("usage: wintool windows | controls HWND | version FILE | font FACE CHARSET HEIGHT\n");
    return 2;
}
