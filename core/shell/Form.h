#pragma once

// What the procedures act on: a window reached by its name, and the controls on it. Each property read or setting
// is one runtime call, made when the procedure makes it.

#include "core/shell/Program.h"
#include "core/shell/Twips.h"

#include <string>
#include <string_view>

namespace shell {

class Control {
public:
    constexpr Control(FormId form, ControlIndex index)
        : m_form(form)
        , m_index(index)
    {
    }

    void Show() const { runtime().setControlVisible(m_form, m_index, true); }
    void Hide() const { runtime().setControlVisible(m_form, m_index, false); }
    std::u16string Text() const { return runtime().controlText(m_form, m_index); }
    void setText(std::u16string_view text) const { runtime().setControlText(m_form, m_index, text); }

private:
    FormId m_form;
    ControlIndex m_index;
};

// A top-level window's outer geometry (twips, single precision) and visibility.
class Window {
public:
    explicit constexpr Window(FormId id)
        : m_id(id)
    {
    }

    float Left() const { return runtime().windowEdge(m_id, Edge::Left); }
    float Top() const { return runtime().windowEdge(m_id, Edge::Top); }
    float Width() const { return runtime().windowEdge(m_id, Edge::Width); }
    float Height() const { return runtime().windowEdge(m_id, Edge::Height); }
    // A value that geometry arithmetic left infinite or undefined is a run-time error and is not passed on.
    void setLeft(float twips) const { set(Edge::Left, twips, u"Left"); }
    void setTop(float twips) const { set(Edge::Top, twips, u"Top"); }
    void setWidth(float twips) const { set(Edge::Width, twips, u"Width"); }
    void setHeight(float twips) const { set(Edge::Height, twips, u"Height"); }

    bool Visible() const { return runtime().isWindowVisible(m_id); }
    void Show() const { runtime().setWindowVisible(m_id, true); }
    void Hide() const { runtime().setWindowVisible(m_id, false); }

    Control control(ControlIndex index) const { return {m_id, index}; }

private:
    void set(Edge edge, float twips, std::u16string_view what) const
    {
        runtime().setWindowEdge(m_id, edge, checkedTwips(twips, what));
    }

    FormId m_id;
};

// The whole primary screen in twips.
inline float screenWidth()
{
    return runtime().screenSize(Edge::Width);
}

inline float screenHeight()
{
    return runtime().screenSize(Edge::Height);
}

} // namespace shell
