#pragma once

// A runtime without any toolkit for testing what the procedures decide: it keeps each window's geometry and
// visibility and each control's text and visibility, and writes every call that changes something into a log, in
// order. Message boxes return at once (after `whileMessageOpen`); the end of the process is recorded.

#include "core/shell/Program.h"
#include "core/shell/RuntimeError.h"

#include <array>
#include <functional>
#include <string>
#include <vector>

class RecordingRuntime final : public shell::Runtime {
public:
    // The frame a window manager would draw around a window with a border: 3 px at the sides and bottom, a title
    // bar of 29 px (twips at 96 dpi).
    static constexpr float FrameSide = 45.0f, FrameTop = 435.0f;

    struct Window {
        bool exists = false;
        int created = 0;
        bool visible = false;
        float edges[4] = {}; // left, top, width, height: outer frame, twips
        std::vector<std::string> names;
        std::vector<bool> controlVisible;
        std::vector<std::u16string> texts;
    };

    RecordingRuntime() { shell::setRuntime(this); }
    ~RecordingRuntime() override { shell::setRuntime(nullptr); }

    Window& window(shell::FormId form) { return m_windows[std::size_t(form)]; }
    bool controlVisible(shell::FormId form, shell::ControlIndex c) { return window(form).controlVisible.at(c); }
    const std::u16string& text(shell::FormId form, shell::ControlIndex c) { return window(form).texts.at(c); }
    // Types into a text box as a user would: no procedure runs.
    void type(shell::FormId form, shell::ControlIndex c, std::u16string_view text) { window(form).texts.at(c) = text; }
    // The platform closes a window (its close box, the task list, the panel's keyboard close command).
    void platformCloses(shell::FormId form)
    {
        if (shell::windowCloseRequested(form)) {
            window(form).exists = false;
            window(form).visible = false;
        }
    }

    std::vector<std::string> log;
    std::vector<std::u16string> messages, reports, reportCaptions, messageCaptions;
    std::vector<int> exits;
    std::function<void()> whileMessageOpen;
    float screen[2] = {19200.0f, 15360.0f}; // 1280 x 1024 pixels at 96 dpi

    void createWindow(shell::FormId form, const shell::FormLayout& layout) override
    {
        Window& w = window(form);
        const bool framed = layout.border == shell::Border::FixedSingle;
        w.exists = true;
        ++w.created;
        w.visible = false;
        w.edges[2] = float(layout.clientWidth) + (framed ? 2 * FrameSide : 0.0f);
        w.edges[3] = float(layout.clientHeight) + (framed ? FrameTop + FrameSide : 0.0f);
        w.names.clear();
        w.controlVisible.clear();
        w.texts.clear();
        for (const shell::ControlLayout& row : layout.controls) {
            // Appended piece by piece: GCC 12 warns, wrongly, of overlapping copies in "(" + std::string&&.
            std::string name(row.name);
            if (row.arrayIndex >= 0)
                name.append("(").append(std::to_string(row.arrayIndex)).append(")");
            w.names.push_back(std::move(name));
            w.controlVisible.push_back(true);
            w.texts.emplace_back(row.caption);
        }
        record(form, "create");
    }
    bool isWindowVisible(shell::FormId form) override { return existing(form).visible; }
    void setWindowVisible(shell::FormId form, bool visible) override
    {
        existing(form).visible = visible;
        record(form, visible ? "show" : "hide");
    }
    void activateWindow(shell::FormId form) override { record(form, "activate"); }
    float windowEdge(shell::FormId form, shell::Edge edge) override { return existing(form).edges[int(edge)]; }
    void setWindowEdge(shell::FormId form, shell::Edge edge, float twips) override
    {
        existing(form).edges[int(edge)] = twips;
        static constexpr const char* names[] = {"Left", "Top", "Width", "Height"};
        record(form, std::string(names[int(edge)]) + "=" + std::to_string(twips));
    }
    float screenSize(shell::Edge edge) override { return screen[edge == shell::Edge::Width ? 0 : 1]; }
    void setControlVisible(shell::FormId form, shell::ControlIndex c, bool visible) override
    {
        existing(form).controlVisible.at(c) = visible;
        record(form, (visible ? "show " : "hide ") + window(form).names.at(c));
    }
    std::u16string controlText(shell::FormId form, shell::ControlIndex c) override
    {
        return existing(form).texts.at(c);
    }
    void setControlText(shell::FormId form, shell::ControlIndex c, std::u16string_view text) override
    {
        existing(form).texts.at(c) = text;
        record(form, "text " + window(form).names.at(c) + (text.empty() ? " empty" : ""));
    }
    void showMessage(std::u16string_view caption, std::u16string_view prompt) override
    {
        record(shell::FormId::Form1, "message");
        messageCaptions.emplace_back(caption);
        messages.emplace_back(prompt);
        if (whileMessageOpen)
            whileMessageOpen();
    }
    void showFatalErrorReport(std::u16string_view caption, std::u16string_view text) override
    {
        record(shell::FormId::Form1, "report");
        reportCaptions.emplace_back(caption);
        reports.emplace_back(text);
    }
    int runEventLoop() override { return 0; }
    void endProcess(int status) override
    {
        for (Window& w : m_windows)
            w.visible = false;
        exits.push_back(status);
    }

private:
    Window& existing(shell::FormId form)
    {
        if (!window(form).exists)
            throw RuntimeError::toolkitFailure(u"Form");
        return window(form);
    }
    void record(shell::FormId form, const std::string& what)
    {
        log.push_back((form == shell::FormId::Form1 ? "Form1 " : "Form2 ") + what);
    }

    std::array<Window, 2> m_windows;
};
