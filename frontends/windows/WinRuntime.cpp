#include "frontends/windows/WinRuntime.h"

#include "core/shell/Program.h"
#include "core/shell/RuntimeError.h"
#include "core/shell/Twips.h"
#include "frontends/windows/Display.h"

#include <algorithm>

namespace frontend {

namespace {

// The name of the icon resource in the version record's .rc file.
constexpr wchar_t ProgramIconName[] = L"IDI_ICON1";

std::size_t slotOf(shell::FormId form)
{
    return form == shell::FormId::Form1 ? 0 : 1;
}

const char16_t* edgeName(shell::Edge edge)
{
    switch (edge) {
    case shell::Edge::Left:
        return u"Left";
    case shell::Edge::Top:
        return u"Top";
    case shell::Edge::Width:
        return u"Width";
    case shell::Edge::Height:
        return u"Height";
    }
    return u"Edge";
}

bool keyDown(int key)
{
    return GetKeyState(key) < 0;
}

} // namespace

WinRuntime::WinRuntime(HINSTANCE instance)
    : m_instance(instance)
{
}

WinRuntime::~WinRuntime() = default;

FormWindow* WinRuntime::alive(shell::FormId form) const
{
    FormWindow* window = m_windows[slotOf(form)].get();
    return window && window->alive() ? window : nullptr;
}

FormWindow& WinRuntime::existing(shell::FormId form) const
{
    FormWindow* window = alive(form);
    if (!window)
        throw RuntimeError::toolkitFailure(u"Form");
    return *window;
}

void WinRuntime::createWindow(shell::FormId form, const shell::FormLayout& layout)
{
    if (!m_classRegistered) {
        FormWindow::registerClass(m_instance);
        m_classRegistered = true;
    }
    if (layout.hasProgramIcon && !m_bigIcon) {
        // The icon compiled into the program file (resources/version.rc.in), scaled from its one 48 × 48 image.
        const auto load = [this](int width, int height) {
            return static_cast<HICON>(LoadImageW(m_instance, ProgramIconName, IMAGE_ICON, GetSystemMetrics(width),
                                                 GetSystemMetrics(height), LR_DEFAULTCOLOR));
        };
        m_smallIcon.reset(load(SM_CXSMICON, SM_CYSMICON));
        m_bigIcon.reset(load(SM_CXICON, SM_CYICON));
        if (!m_smallIcon || !m_bigIcon)
            throw RuntimeError::toolkitFailure(u"Icon");
    }
    // A window without a taskbar entry is owned by the query window: kept above it, and gone with it.
    HWND owner = nullptr;
    if (!layout.showInTaskbar) {
        const FormWindow* query = alive(shell::FormId::Form1);
        owner = query && form != shell::FormId::Form1 ? query->handle() : nullptr;
    }
    // A window the platform closed is replaced; its dead object goes now.
    const bool icon = layout.hasProgramIcon;
    m_windows[slotOf(form)] = std::make_unique<FormWindow>(
        m_instance, form, layout, owner, icon ? m_smallIcon.get() : nullptr, icon ? m_bigIcon.get() : nullptr);
}

bool WinRuntime::isWindowVisible(shell::FormId form)
{
    return IsWindowVisible(existing(form).handle()) != FALSE;
}

void WinRuntime::setWindowVisible(shell::FormId form, bool visible)
{
    FormWindow& window = existing(form);
    // Only the query window takes the activation when shown; the panel shows beside it, as in the Linux program.
    const int how = !visible ? SW_HIDE : form == shell::FormId::Form1 ? SW_SHOW : SW_SHOWNA;
    ShowWindow(window.handle(), how);
    if (bool(IsWindowVisible(window.handle())) != visible)
        throw RuntimeError::toolkitFailure(u"Visible");
}

void WinRuntime::activateWindow(shell::FormId form)
{
    FormWindow& window = existing(form);
    // Windows may refuse the foreground to a program started behind another; it then flashes the taskbar entry.
    SetForegroundWindow(window.handle());
    window.focusFirst();
}

float WinRuntime::windowEdge(shell::FormId form, shell::Edge edge)
{
    FormWindow& window = existing(form);
    const RECT frame = window.outerFrame();
    int value = 0;
    switch (edge) {
    case shell::Edge::Left:
        value = frame.left;
        break;
    case shell::Edge::Top:
        value = frame.top;
        break;
    case shell::Edge::Width:
        value = frame.right - frame.left;
        break;
    case shell::Edge::Height:
        value = frame.bottom - frame.top;
        break;
    }
    return shell::twipsFromDevicePixels(value, float(window.dpi()));
}

void WinRuntime::setWindowEdge(shell::FormId form, shell::Edge edge, float twips)
{
    FormWindow& window = existing(form);
    const char16_t* what = edgeName(edge);
    const int value = shell::devicePixels(twips, float(window.dpi()), what);
    RECT frame = window.outerFrame();
    switch (edge) {
    case shell::Edge::Left:
        OffsetRect(&frame, value - frame.left, 0);
        break;
    case shell::Edge::Top:
        OffsetRect(&frame, 0, value - frame.top);
        break;
    case shell::Edge::Width:
        if (value < 0)
            throw RuntimeError::toolkitFailure(what);
        frame.right = frame.left + value;
        break;
    case shell::Edge::Height:
        if (value < 0)
            throw RuntimeError::toolkitFailure(what);
        frame.bottom = frame.top + value;
        break;
    }
    window.placeOuterFrame(frame, what);
}

float WinRuntime::screenSize(shell::Edge edge)
{
    // The whole primary screen in its own device pixels, as a program aware of per-monitor resolution sees it.
    const int pixels = GetSystemMetrics(edge == shell::Edge::Width ? SM_CXSCREEN : SM_CYSCREEN);
    if (pixels <= 0)
        throw RuntimeError::toolkitFailure(u"Screen");
    const FormWindow* query = alive(shell::FormId::Form1);
    return shell::twipsFromDevicePixels(pixels, float(primaryScreenDpi(query ? query->handle() : nullptr)));
}

void WinRuntime::setControlVisible(shell::FormId form, shell::ControlIndex control, bool visible)
{
    existing(form).showControl(control, visible);
}

HWND WinRuntime::textBox(shell::FormId form, shell::ControlIndex control) const
{
    HWND box = existing(form).control(control);
    wchar_t windowClass[8]{};
    if (!GetClassNameW(box, windowClass, 8) || lstrcmpiW(windowClass, L"Edit") != 0)
        throw RuntimeError::toolkitFailure(u"Text");
    return box;
}

namespace {

// A copy of a box's text, wiped when it goes: it may hold a candidate's numbers or name.
struct WipedOnExit {
    std::wstring& text;
    ~WipedOnExit() { SecureZeroMemory(text.data(), text.capacity() * sizeof(wchar_t)); }
};

} // namespace

std::u16string WinRuntime::controlText(shell::FormId form, shell::ControlIndex control)
{
    HWND box = textBox(form, control);
    const int length = GetWindowTextLengthW(box);
    std::wstring text(std::size_t(length) + 1, L'\0');
    const int copied = length > 0 ? GetWindowTextW(box, text.data(), length + 1) : 0;
    const WipedOnExit wipe{text}; // the caller has a copy of its own, which it wipes too
    if (copied < 0 || (length > 0 && copied == 0))
        throw RuntimeError::toolkitFailure(u"Text");
    return {reinterpret_cast<const char16_t*>(text.data()), std::size_t(copied)};
}

void WinRuntime::setControlText(shell::FormId form, shell::ControlIndex control, std::u16string_view text)
{
    HWND box = textBox(form, control);
    std::wstring value = wideString(text);
    const WipedOnExit wipe{value};
    // An edit control keeps its text in one buffer, which a shorter text does not shrink and a longer one moves,
    // leaving the old one freed as it was. So the buffer is first made room for any number a candidate types, and
    // what was there is overwritten in place with spaces: nothing of an earlier candidate's numbers or name is left
    // behind the new text's end, nor in a buffer that typing outgrew.
    constexpr std::size_t TypingRoom = 64;
    const std::size_t held = std::size_t(GetWindowTextLengthW(box));
    const std::wstring blank(std::max({held, value.size(), TypingRoom}), L' ');
    SetWindowTextW(box, blank.c_str());
    if (!SetWindowTextW(box, value.c_str()))
        throw RuntimeError::toolkitFailure(u"Text");
    // Undo (Ctrl+Z, or the box's context menu) gives back no earlier text.
    SendMessageW(box, EM_EMPTYUNDOBUFFER, 0, 0);
}

HWND WinRuntime::messageBoxOwner() const
{
    const FormWindow* query = alive(shell::FormId::Form1);
    return query && IsWindowVisible(query->handle()) ? query->handle() : nullptr;
}

void WinRuntime::showMessage(std::u16string_view caption, std::u16string_view prompt)
{
    HWND owner = messageBoxOwner();
    const std::wstring title = wideString(caption);
    const std::wstring text = wideString(prompt);
    // Application-modal: Windows disables the owner while the box is open; without an owner, every window of the
    // program. OK alone, no icon; the system gives the button its text in the user's language.
    const UINT modality = owner ? MB_APPLMODAL : MB_TASKMODAL;
    if (!MessageBoxW(owner, text.c_str(), title.c_str(), MB_OK | MB_DEFBUTTON1 | modality))
        throw RuntimeError::toolkitFailure(u"MsgBox");
}

void WinRuntime::showFatalErrorReport(std::u16string_view caption, std::u16string_view text)
{
    HWND owner = messageBoxOwner();
    const std::wstring title = wideString(caption);
    const std::wstring report = wideString(text);
    // The program ends after it whatever it returns.
    MessageBoxW(owner, report.c_str(), title.c_str(), MB_OK | MB_ICONERROR | (owner ? MB_APPLMODAL : MB_TASKMODAL));
}

bool WinRuntime::handleKey(const MSG& message)
{
    if (message.message != WM_KEYDOWN)
        return false;
    if (message.wParam != VK_TAB && message.wParam != VK_RETURN && message.wParam != VK_ESCAPE)
        return false;
    for (const std::unique_ptr<FormWindow>& slot : m_windows) {
        FormWindow* window = slot && slot->alive() ? slot.get() : nullptr;
        if (!window || (message.hwnd != window->handle() && !IsChild(window->handle(), message.hwnd)))
            continue;
        if (message.wParam == VK_TAB) {
            if (keyDown(VK_CONTROL) || keyDown(VK_MENU))
                return false;
            window->moveFocus(!keyDown(VK_SHIFT));
        }
        // Enter and Escape: no default or cancel button, and a single-line box would only beep.
        return true;
    }
    return false;
}

int WinRuntime::runEventLoop()
{
    MSG message{};
    for (;;) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0)
            return int(message.wParam);
        if (got < 0) {
            // Reported and ended like a failure inside a procedure.
            shell::runEventProcedure([] { throw RuntimeError::toolkitFailure(u"Event"); });
            return 1;
        }
        if (handleKey(message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void WinRuntime::endProcess(int status)
{
    // Both windows vanish at once, shown or hidden; no destructor, timer or close handler runs any more.
    for (const std::unique_ptr<FormWindow>& slot : m_windows) {
        if (slot && slot->alive())
            ShowWindow(slot->handle(), SW_HIDE);
    }
    ExitProcess(UINT(status));
}

} // namespace frontend
