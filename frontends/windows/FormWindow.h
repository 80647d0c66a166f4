#pragma once

#include "core/shell/Layout.h"
#include "core/shell/Runtime.h"
#include "frontends/windows/Handles.h"

#include <optional>
#include <vector>

namespace frontend {

// The identifier of a control's child window (and of a timer) is this plus its row in the layout table, so that a
// tool outside the process finds Text1(0) as the child with identifier ControlIdBase + 2.
inline constexpr int ControlIdBase = 100;
// The window class of both top-level windows.
inline constexpr wchar_t FormClassName[] = L"CuixianScoreQuery.Form";

// A top-level window made from its layout table: one child window per row (a timer for a timer row), in the
// table's order, each later row above the earlier ones where they overlap. Positions and fonts go through the
// window's own resolution and follow it to a screen of another. Clicks, ticks and close requests go to the core's
// entry points (Program.h); nothing here decides what the program does.
class FormWindow {
public:
    // Registers the window class; once per process, before the first window.
    static void registerClass(HINSTANCE instance);

    // `owner`: the window this one is kept above and without a taskbar entry of its own (nullptr: none).
    // `icons`: the title bar's and the taskbar's (small, big), or nullptr for none.
    FormWindow(HINSTANCE instance, shell::FormId id, const shell::FormLayout& layout, HWND owner, HICON smallIcon,
               HICON bigIcon);
    ~FormWindow();
    FormWindow(const FormWindow&) = delete;
    FormWindow& operator=(const FormWindow&) = delete;

    // False once the platform has destroyed the window (the panel closed with Alt+F4).
    bool alive() const { return bool(m_window); }
    HWND handle() const { return m_window.get(); }
    shell::FormId id() const { return m_id; }
    UINT dpi() const { return m_dpi; }
    // The child window of a row; raises the toolkit-failure run-time error for a row that has none.
    HWND control(shell::ControlIndex index) const;

    // The outer frame the user sees, in device pixels, and placing a window by it.
    RECT outerFrame();
    void placeOuterFrame(const RECT& frame, const char16_t* what);

    void showControl(shell::ControlIndex index, bool visible);
    // The keyboard focus on the first visible control in tab order.
    void focusFirst();
    // Tab and Shift+Tab: the next or previous visible control in tab order, round to the start.
    void moveFocus(bool forward);

private:
    static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    void createControls(HINSTANCE instance);
    void stackControls();
    // Fonts, control rectangles and (framed) the window's size for the current resolution.
    void applyDpi();
    void sizeToClient();
    HFONT fontFor(const shell::Font* font) const;
    // The focusable controls, ordered by tab index.
    std::vector<shell::ControlIndex> tabOrder() const;
    shell::ControlIndex indexOf(HWND child) const;
    void focusControl(shell::ControlIndex index, bool selectText);
    void focusAfter(shell::ControlIndex index, bool forward);

    shell::FormId m_id;
    const shell::FormLayout& m_layout;
    DWORD m_style;
    DWORD m_exStyle;
    UINT m_dpi = USER_DEFAULT_SCREEN_DPI;
    std::vector<HWND> m_controls; // children go with their window; nullptr for a timer
    std::vector<const shell::Font*> m_distinctFonts;
    std::vector<FontHandle> m_fonts; // parallel to m_distinctFonts, at m_dpi
    HWND m_lastFocus = nullptr;      // given back when the window is activated again
    // Invisible frame band (compositor's frame minus window rectangle), last measured while the window was shown.
    RECT m_invisibleBand{};
    bool m_askCompositor = true;
    // Last, so that it goes first: the messages of a window being destroyed still find every other member.
    WindowHandle m_window;
};

} // namespace frontend
