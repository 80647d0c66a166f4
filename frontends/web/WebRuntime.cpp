// The runtime on a web page. The page is the screen and this front end its
// window manager: every window, control and dialog is drawn by page.js (the one JavaScript library, which holds
// every call into the DOM and WebCrypto); this file only hands the core's calls over to it and back.
//
// WebCrypto and the page's own dialog answer later, through promises, while the core's calls are synchronous: those
// imports wait through Asyncify (the build's ASYNCIFY_IMPORTS), which unwinds the program's stack back into the
// browser and rewinds it when the promise settles. While it is suspended, page.js lets no other call enter here.

#include "frontends/web/WebSealing.h"
#include "core/shell/Program.h"
#include "core/shell/RuntimeError.h"
#include "core/shell/Twips.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

// page.js
extern "C" {
void page_createWindow(int form, const char* name, int nameLength, const char16_t* title, int titleLength,
                       int framed, int hasProgramIcon, int clientWidth, int clientHeight, const char16_t* face,
                       int faceLength, float points, int weight);
void page_addControl(int form, int row, const char* name, int nameLength, int arrayIndex, int kind,
                     const char16_t* caption, int captionLength, int left, int top, int width, int height,
                     const char16_t* face, int faceLength, float points, int weight, int colour, int tabIndex,
                     int intervalMs);
int page_windowExists(int form);
int page_isWindowVisible(int form);
void page_setWindowVisible(int form, int visible);
void page_activateWindow(int form);
float page_windowEdge(int form, int edge);
int page_setWindowEdge(int form, int edge, float twips);
float page_screenSize(int edge);
void page_setControlVisible(int form, int row, int visible);
int page_controlTextLength(int form, int row);
void page_copyControlText(int form, int row, char16_t* out, int length);
void page_setControlText(int form, int row, const char16_t* text, int length);
void page_showMessage(const char16_t* caption, int captionLength, const char16_t* prompt, int promptLength);
void page_showFatalErrorReport(const char16_t* caption, int captionLength, const char16_t* text, int textLength);
void page_endProcess(int status);
}

namespace {

int formNumber(shell::FormId form)
{
    return form == shell::FormId::Form1 ? 1 : 2;
}

int length(std::size_t size)
{
    if (size > std::size_t(INT32_MAX))
        throw RuntimeError::toolkitFailure(u"Length");
    return int(size);
}

int colourOf(const shell::Colour* colour)
{
    return colour ? (colour->red << 16 | colour->green << 8 | colour->blue) : -1;
}

class WebRuntime final : public shell::Runtime {
public:
    void createWindow(shell::FormId form, const shell::FormLayout& layout) override
    {
        const int f = formNumber(form);
        page_createWindow(f, layout.name.data(), length(layout.name.size()), layout.title.data(),
                          length(layout.title.size()), layout.border == shell::Border::FixedSingle,
                          layout.hasProgramIcon, layout.clientWidth, layout.clientHeight, layout.font.face.data(),
                          length(layout.font.face.size()), layout.font.points, layout.font.weight);
        int row = 0;
        for (const shell::ControlLayout& c : layout.controls) {
            const shell::Font& font = c.font ? *c.font : layout.font;
            page_addControl(f, row++, c.name.data(), length(c.name.size()), c.arrayIndex, int(c.kind),
                            c.caption.data(), length(c.caption.size()), c.rect.left, c.rect.top, c.rect.width,
                            c.rect.height, font.face.data(), length(font.face.size()), font.points, font.weight,
                            colourOf(c.textColour), c.tabIndex, c.intervalMs);
        }
    }

    bool isWindowVisible(shell::FormId form) override { return page_isWindowVisible(existing(form)) != 0; }
    void setWindowVisible(shell::FormId form, bool visible) override
    {
        page_setWindowVisible(existing(form), visible);
    }
    void activateWindow(shell::FormId form) override { page_activateWindow(existing(form)); }

    float windowEdge(shell::FormId form, shell::Edge edge) override
    {
        return page_windowEdge(existing(form), int(edge));
    }

    void setWindowEdge(shell::FormId form, shell::Edge edge, float twips) override
    {
        static constexpr const char16_t* names[] = {u"Left", u"Top", u"Width", u"Height"};
        const char16_t* what = names[int(edge)];
        // A value no window system could take is refused as the desktop front ends refuse it.
        shell::devicePixels(twips, shell::StandardDpi, what);
        if (!page_setWindowEdge(existing(form), int(edge), twips))
            throw RuntimeError::toolkitFailure(what);
    }

    float screenSize(shell::Edge edge) override { return page_screenSize(int(edge)); }

    void setControlVisible(shell::FormId form, shell::ControlIndex control, bool visible) override
    {
        page_setControlVisible(existing(form), control, visible);
    }

    std::u16string controlText(shell::FormId form, shell::ControlIndex control) override
    {
        const int f = existing(form);
        const int size = page_controlTextLength(f, control);
        if (size < 0)
            throw RuntimeError::toolkitFailure(u"Text");
        // Written straight into the string the core gets, so that no other copy of a typed text is left here.
        std::u16string text(std::size_t(size), u'\0');
        page_copyControlText(f, control, text.data(), size);
        return text;
    }

    void setControlText(shell::FormId form, shell::ControlIndex control, std::u16string_view text) override
    {
        const int f = existing(form);
        if (page_controlTextLength(f, control) < 0)
            throw RuntimeError::toolkitFailure(u"Text");
        page_setControlText(f, control, text.data(), length(text.size()));
    }

    void showMessage(std::u16string_view caption, std::u16string_view prompt) override
    {
        page_showMessage(caption.data(), length(caption.size()), prompt.data(), length(prompt.size()));
    }

    void showFatalErrorReport(std::u16string_view caption, std::u16string_view text) override
    {
        page_showFatalErrorReport(caption.data(), length(caption.size()), text.data(), length(text.size()));
    }

    // The browser's own event loop runs on once main() returns; the page calls the entry points below from it.
    int runEventLoop() override { return 0; }

    // Never returns: page.js hides every window, stops the timers and throws past every frame of the program, so
    // that no destructor, procedure or tick runs any more.
    void endProcess(int status) override { page_endProcess(status); }

private:
    static int existing(shell::FormId form)
    {
        const int f = formNumber(form);
        if (!page_windowExists(f))
            throw RuntimeError::toolkitFailure(u"Form");
        return f;
    }
};

WebRuntime g_runtime;
frontend::WebSealing g_sealing;

shell::FormId formOf(int form)
{
    return form == 1 ? shell::FormId::Form1 : shell::FormId::Form2;
}

} // namespace

// The entry points page.js calls, each the core's own (core/shell/Program.h). The message box's answer needs none:
// it settles the promise its import waits on.
extern "C" {

void web_controlClicked(int form, int control)
{
    shell::controlClicked(formOf(form), control);
}

void web_timerTicked(int form, int timer)
{
    shell::timerTicked(formOf(form), timer);
}

int web_windowCloseRequested(int form)
{
    return shell::windowCloseRequested(formOf(form));
}

} // extern "C"

int main()
{
    roster::setSealing(&g_sealing);
    return shell::runProgram(g_runtime);
}
