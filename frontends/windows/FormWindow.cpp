#include "frontends/windows/FormWindow.h"

#include "core/shell/Program.h"
#include "core/shell/RuntimeError.h"
#include "core/shell/Twips.h"
#include "frontends/windows/Display.h"

#include <algorithm>
#include <string>

namespace frontend {

namespace {

using shell::ControlKind;

int pixels(int twips, UINT dpi)
{
    return shell::devicePixels(float(twips), float(dpi), u"Twips");
}

RECT controlRect(const shell::TwipsRect& rect, UINT dpi)
{
    const int left = pixels(rect.left, dpi);
    const int top = pixels(rect.top, dpi);
    return {left, top, left + pixels(rect.width, dpi), top + pixels(rect.height, dpi)};
}

bool sameRect(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// The invisible band around a framed window on Windows 10 and 11 is a few pixels wide; anything else is not one.
bool plausibleBand(const RECT& band)
{
    const auto ok = [](LONG side) {
        return side >= 0 && side <= 64;
    };
    return ok(band.left) && ok(band.top) && ok(band.right) && ok(band.bottom);
}

} // namespace

void FormWindow::registerClass(HINSTANCE instance)
{
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &FormWindow::windowProcedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    // The platform's standard colour for windows and dialogs, as the labels' background.
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = FormClassName;
    if (!RegisterClassExW(&windowClass))
        throw RuntimeError::toolkitFailure(u"Form");
}

FormWindow::FormWindow(HINSTANCE instance, shell::FormId id, const shell::FormLayout& layout, HWND owner,
                       HICON smallIcon, HICON bigIcon)
    : m_id(id)
    , m_layout(layout)
{
    const bool framed = layout.border == shell::Border::FixedSingle;
    // A fixed thin frame: caption, system menu and close box, no sizing border, no minimise or maximise box.
    m_style = (framed ? WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU : WS_POPUP) | WS_CLIPCHILDREN;
    // A tool window owned by another has no taskbar entry and no place in Alt+Tab.
    m_exStyle = layout.showInTaskbar ? 0 : WS_EX_TOOLWINDOW;

    // Made at a guess of its resolution; once it knows its screen, sized for that screen's.
    m_dpi = owner ? windowDpi(owner) : systemDpi();
    const std::wstring title = wideString(layout.title);
    const int x = framed ? CW_USEDEFAULT : 0;
    const int y = framed ? CW_USEDEFAULT : 0;
    if (!CreateWindowExW(m_exStyle, FormClassName, title.c_str(), m_style, x, y, pixels(layout.clientWidth, m_dpi),
                         pixels(layout.clientHeight, m_dpi), owner, nullptr, instance, this))
        throw RuntimeError::toolkitFailure(u"Form");
    m_dpi = windowDpi(handle());

    if (smallIcon)
        SendMessageW(handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon));
    if (bigIcon)
        SendMessageW(handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon));

    for (const shell::ControlLayout& row : layout.controls) {
        const shell::Font* font = row.font ? row.font : &layout.font;
        if (row.kind != ControlKind::Timer && std::ranges::find(m_distinctFonts, font) == m_distinctFonts.end())
            m_distinctFonts.push_back(font);
    }
    createControls(instance);
    applyDpi();
    if (!framed) {
        if (!SetWindowPos(handle(), nullptr, 0, 0, pixels(layout.clientWidth, m_dpi),
                          pixels(layout.clientHeight, m_dpi), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE))
            throw RuntimeError::toolkitFailure(u"Form");
    }
}

FormWindow::~FormWindow()
{
    // The window goes before the fonts its controls use, and sends nothing more to this object.
    if (m_window) {
        SetWindowLongPtrW(handle(), GWLP_USERDATA, 0);
        m_window.reset();
    }
}

void FormWindow::createControls(HINSTANCE instance)
{
    for (shell::ControlIndex index = 0; index < shell::ControlIndex(m_layout.controls.size()); ++index) {
        const shell::ControlLayout& row = m_layout.controls[std::size_t(index)];
        const auto id = reinterpret_cast<HMENU>(INT_PTR(ControlIdBase + index));
        if (row.kind == ControlKind::Timer) {
            if (!SetTimer(handle(), UINT_PTR(ControlIdBase + index), UINT(row.intervalMs), nullptr))
                throw RuntimeError::toolkitFailure(u"Timer");
            m_controls.push_back(nullptr);
            continue;
        }
        const wchar_t* windowClass = L"STATIC";
        DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
        DWORD exStyle = 0;
        switch (row.kind) {
        case ControlKind::Label:
            // Left-aligned, wrapping within the label's width; "&" is a character, not a mnemonic.
            style |= SS_LEFT | SS_NOPREFIX;
            break;
        case ControlKind::TextBox:
            windowClass = L"EDIT";
            style |= WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL;
            exStyle = WS_EX_CLIENTEDGE;
            break;
        case ControlKind::PushButton:
            windowClass = L"BUTTON";
            // Never BS_DEFPUSHBUTTON: no button answers Enter. The caption wraps at the button's width.
            style |= WS_TABSTOP | BS_PUSHBUTTON | BS_MULTILINE;
            break;
        case ControlKind::Timer:
            break;
        }
        const RECT rect = controlRect(row.rect, m_dpi);
        const std::wstring caption = wideString(row.caption);
        HWND child = CreateWindowExW(exStyle, windowClass, caption.c_str(), style, rect.left, rect.top,
                                     rect.right - rect.left, rect.bottom - rect.top, handle(), id, instance, nullptr);
        if (!child)
            throw RuntimeError::toolkitFailure(u"Control");
        if (row.kind == ControlKind::TextBox)
            SendMessageW(child, EM_SETLIMITTEXT, 0, 0); // no limit of the program's own (the default is 30000)
        m_controls.push_back(child);
    }
    stackControls();
}

void FormWindow::stackControls()
{
    // Later rows of the table are drawn above earlier ones. Screen readers name a box after the nearest label above
    // it in this order, so each box goes right below the label that names it; the rows between them never overlap
    // either of the two.
    std::vector<HWND> topDown;
    for (auto index = shell::ControlIndex(m_controls.size()) - 1; index >= 0; --index) {
        const shell::ControlLayout& row = m_layout.controls[std::size_t(index)];
        if (!m_controls[std::size_t(index)] || row.labelledBy != shell::NoControl)
            continue;
        topDown.push_back(m_controls[std::size_t(index)]);
        for (std::size_t named = 0; named < m_controls.size(); ++named)
            if (m_layout.controls[named].labelledBy == index)
                topDown.push_back(m_controls[named]);
    }
    for (HWND child : topDown)
        SetWindowPos(child, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

HFONT FormWindow::fontFor(const shell::Font* font) const
{
    const shell::Font* wanted = font ? font : &m_layout.font;
    const auto it = std::ranges::find(m_distinctFonts, wanted);
    return it == m_distinctFonts.end() ? nullptr : m_fonts[std::size_t(it - m_distinctFonts.begin())].get();
}

void FormWindow::applyDpi()
{
    std::vector<FontHandle> fonts;
    for (const shell::Font* font : m_distinctFonts) {
        const std::wstring face = wideString(font->face);
        HFONT made = CreateFontW(fontHeight(font->points, m_dpi), 0, 0, 0, font->weight, FALSE, FALSE, FALSE,
                                 DWORD(font->charset), OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                 DEFAULT_PITCH | FF_DONTCARE, face.c_str());
        if (!made)
            throw RuntimeError::toolkitFailure(u"Font");
        fonts.emplace_back(made);
    }
    // The controls take the new fonts before the old ones are deleted.
    std::swap(m_fonts, fonts);
    HDWP positions = BeginDeferWindowPos(int(m_controls.size()));
    for (std::size_t index = 0; index < m_controls.size(); ++index) {
        HWND child = m_controls[index];
        if (!child)
            continue;
        const shell::ControlLayout& row = m_layout.controls[index];
        SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(fontFor(row.font)), FALSE);
        const RECT rect = controlRect(row.rect, m_dpi);
        if (positions)
            positions = DeferWindowPos(positions, child, nullptr, rect.left, rect.top, rect.right - rect.left,
                                       rect.bottom - rect.top, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (!positions || !EndDeferWindowPos(positions))
        throw RuntimeError::toolkitFailure(u"Control");
    if (m_layout.border == shell::Border::FixedSingle)
        sizeToClient();
    InvalidateRect(handle(), nullptr, TRUE);
}

void FormWindow::sizeToClient()
{
    SIZE outer{};
    if (!outerSizeForClient(pixels(m_layout.clientWidth, m_dpi), pixels(m_layout.clientHeight, m_dpi), m_style,
                            m_exStyle, m_dpi, outer) ||
        !SetWindowPos(handle(), nullptr, 0, 0, outer.cx, outer.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE))
        throw RuntimeError::toolkitFailure(u"Form");
}

HWND FormWindow::control(shell::ControlIndex index) const
{
    if (index < 0 || std::size_t(index) >= m_controls.size() || !m_controls[std::size_t(index)])
        throw RuntimeError::toolkitFailure(u"Control");
    return m_controls[std::size_t(index)];
}

shell::ControlIndex FormWindow::indexOf(HWND child) const
{
    const auto it = std::ranges::find(m_controls, child);
    return child && it != m_controls.end() ? shell::ControlIndex(it - m_controls.begin()) : shell::NoControl;
}

RECT FormWindow::outerFrame()
{
    RECT window{};
    if (!m_window || !GetWindowRect(handle(), &window))
        throw RuntimeError::toolkitFailure(u"Form");
    // Only a framed window has an invisible band. The compositor answers for a window it shows; a hidden one keeps
    // the band last measured. Where it cannot answer (Windows XP, Windows 7 without Aero, Wine) it is not asked
    // again: frames there are drawn whole.
    if (m_askCompositor && m_layout.border != shell::Border::None && IsWindowVisible(handle())) {
        if (const std::optional<RECT> seen = compositedFrame(handle())) {
            const RECT band{seen->left - window.left, seen->top - window.top, window.right - seen->right,
                            window.bottom - seen->bottom};
            m_invisibleBand = plausibleBand(band) ? band : RECT{};
        } else {
            m_askCompositor = false;
        }
    }
    return {window.left + m_invisibleBand.left, window.top + m_invisibleBand.top, window.right - m_invisibleBand.right,
            window.bottom - m_invisibleBand.bottom};
}

void FormWindow::placeOuterFrame(const RECT& frame, const char16_t* what)
{
    RECT current{};
    if (!m_window || !GetWindowRect(handle(), &current))
        throw RuntimeError::toolkitFailure(what);
    const RECT wanted{frame.left - m_invisibleBand.left, frame.top - m_invisibleBand.top,
                      frame.right + m_invisibleBand.right, frame.bottom + m_invisibleBand.bottom};
    if (sameRect(current, wanted))
        return; // a tick that finds the panel in place asks nothing of the window manager
    UINT flags = SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER;
    if (wanted.right - wanted.left == current.right - current.left &&
        wanted.bottom - wanted.top == current.bottom - current.top)
        flags |= SWP_NOSIZE;
    if (!SetWindowPos(handle(), nullptr, wanted.left, wanted.top, wanted.right - wanted.left,
                      wanted.bottom - wanted.top, flags))
        throw RuntimeError::toolkitFailure(what);
}

std::vector<shell::ControlIndex> FormWindow::tabOrder() const
{
    std::vector<shell::ControlIndex> order;
    for (shell::ControlIndex index = 0; index < shell::ControlIndex(m_controls.size()); ++index) {
        const ControlKind kind = m_layout.controls[std::size_t(index)].kind;
        if (kind == ControlKind::TextBox || kind == ControlKind::PushButton)
            order.push_back(index);
    }
    std::ranges::sort(order, {},
                      [this](shell::ControlIndex index) { return m_layout.controls[std::size_t(index)].tabIndex; });
    return order;
}

void FormWindow::focusControl(shell::ControlIndex index, bool selectText)
{
    HWND child = m_controls[std::size_t(index)];
    SetFocus(child);
    m_lastFocus = child;
    // As the dialog manager does for an edit box reached with the keyboard.
    if (selectText && m_layout.controls[std::size_t(index)].kind == ControlKind::TextBox)
        SendMessageW(child, EM_SETSEL, 0, -1);
}

void FormWindow::focusAfter(shell::ControlIndex index, bool forward)
{
    const std::vector<shell::ControlIndex> order = tabOrder();
    const int count = int(order.size());
    if (count == 0)
        return;
    const auto at = std::ranges::find(order, index);
    // From a control outside the order, Tab starts at the first and Shift+Tab at the last.
    int position = at == order.end() ? (forward ? -1 : count) : int(at - order.begin());
    for (int step = 0; step < count; ++step) {
        position = ((forward ? position + 1 : position - 1) % count + count) % count;
        HWND candidate = m_controls[std::size_t(order[std::size_t(position)])];
        if (IsWindowVisible(candidate) && IsWindowEnabled(candidate)) {
            focusControl(order[std::size_t(position)], true);
            return;
        }
    }
}

void FormWindow::focusFirst()
{
    focusAfter(shell::NoControl, true);
}

void FormWindow::moveFocus(bool forward)
{
    // Keyboard use shows the focus rectangle from now on, as in a dialog.
    SendMessageW(handle(), WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
    focusAfter(indexOf(GetFocus()), forward);
}

void FormWindow::showControl(shell::ControlIndex index, bool visible)
{
    HWND child = control(index);
    const bool hadFocus = !visible && GetFocus() == child;
    ShowWindow(child, visible ? SW_SHOWNA : SW_HIDE);
    // A hidden control gives the focus on to the next one in tab order.
    if (hadFocus)
        focusAfter(index, true);
}

LRESULT CALLBACK FormWindow::windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* self = static_cast<FormWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->m_window.reset(window);
    }
    auto* self = reinterpret_cast<FormWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self)
        return DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        // The platform destroyed the window; the object stays, as dead, until the core loads the form again.
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->m_window.release();
        self->m_controls.assign(self->m_controls.size(), nullptr);
        self->m_lastFocus = nullptr;
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return self->handleMessage(message, wParam, lParam);
}

LRESULT FormWindow::handleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    HWND window = handle();
    switch (message) {
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED && lParam) {
            const shell::ControlIndex index = indexOf(reinterpret_cast<HWND>(lParam));
            if (index != shell::NoControl && m_layout.controls[std::size_t(index)].kind == ControlKind::PushButton)
                shell::controlClicked(m_id, index);
            return 0;
        }
        break;
    case WM_TIMER: {
        const auto index = shell::ControlIndex(INT_PTR(wParam) - ControlIdBase);
        if (index >= 0 && std::size_t(index) < m_layout.controls.size() &&
            m_layout.controls[std::size_t(index)].kind == ControlKind::Timer) {
            shell::timerTicked(m_id, index);
            return 0;
        }
        break;
    }
    case WM_CTLCOLORSTATIC: {
        const shell::ControlIndex index = indexOf(reinterpret_cast<HWND>(lParam));
        const shell::Colour* colour =
            index == shell::NoControl ? nullptr : m_layout.controls[std::size_t(index)].textColour;
        if (!colour)
            break;
        HDC dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, RGB(colour->red, colour->green, colour->blue));
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_CLOSE:
        // Close box, system menu, Alt+F4, the task list. The core ends the program for the query window; the panel
        // may go, and is loaded again at its next reference.
        if (shell::windowCloseRequested(m_id))
            DestroyWindow(window);
        return 0;
    case WM_QUERYENDSESSION:
        return TRUE; // a close request is never refused
    case WM_ENDSESSION:
        // Logging off or shutting down: the same road as the close box.
        if (wParam && shell::windowCloseRequested(m_id))
            DestroyWindow(window);
        return 0;
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = GetFocus();
            if (focus && IsChild(window, focus))
                m_lastFocus = focus;
            return 0;
        }
        if (!HIWORD(wParam) && !tabOrder().empty()) {
            // Back to the control that had the focus, as a dialog does; DefWindowProc would focus the window.
            if (m_lastFocus && IsWindowVisible(m_lastFocus))
                SetFocus(m_lastFocus);
            else
                focusFirst();
            return 0;
        }
        break;
    case WM_DPICHANGED: {
        m_dpi = HIWORD(wParam);
        const RECT suggested = *reinterpret_cast<const RECT*>(lParam);
        // A failure here is a run-time error like any other: the report, then the end.
        shell::runEventProcedure([&] {
            applyDpi();
            const bool framed = m_layout.border == shell::Border::FixedSingle;
            // A framed window keeps its exact client area (applyDpi sized it); both take Windows' suggested place.
            if (!SetWindowPos(window, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                              suggested.bottom - suggested.top,
                              (framed ? SWP_NOSIZE : 0) | SWP_NOZORDER | SWP_NOACTIVATE))
                throw RuntimeError::toolkitFailure(u"Form");
        });
        return 0;
    }
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace frontend
