#pragma once

// A window's fixed layout as data: one row per control, in the order the controls are made. A front end builds the
// window from its table alone, so every front end makes the same window. Nothing in a table changes at run time.

#include <cstdint>
#include <span>
#include <string_view>

namespace shell {

// The row of a control in its window's table; the procedures name controls through these.
using ControlIndex = int;
inline constexpr ControlIndex NoControl = -1;

enum class ControlKind { Label, TextBox, PushButton, Timer };

// Character set 134: GB2312.
inline constexpr int Gb2312Charset = 134;
inline constexpr int RegularWeight = 400;
inline constexpr int BoldWeight = 700;

struct Font {
    std::u16string_view face;
    float points;
    int weight;
    int charset;
};

struct Colour {
    std::uint8_t red, green, blue;
    bool operator==(const Colour&) const = default;
};
inline constexpr Colour Red{255, 0, 0};

struct TwipsRect {
    int left, top, width, height;
};

struct ControlLayout {
    std::string_view name; // the control's own name; a member of a control array shares it with the others
    int arrayIndex;        // its index in that array, or -1 for a control of its own
    ControlKind kind;
    std::u16string_view caption; // a label's or button's caption, a text box's initial text
    TwipsRect rect;              // from the top-left corner of the client area
    const Font* font;            // nullptr: the window's font
    const Colour* textColour;    // nullptr: the platform's standard colour for the kind
    int tabIndex;                // unique in the window; only text boxes and buttons take the focus
    int intervalMs;              // timers: ticks from the moment the window is made; 0 for other kinds
    ControlIndex labelledBy;     // the label that names this control to assistive tools, or NoControl
};

enum class Border {
    FixedSingle, // a thin frame that cannot be resized, title bar, system menu and close box, no minimise/maximise
    None,        // no frame and no title bar
};

struct FormLayout {
    std::string_view name;
    std::u16string_view title;
    Border border;
    bool showInTaskbar;
    bool hasProgramIcon;
    int clientWidth, clientHeight; // twips; for a window without frame, the whole window
    Font font;
    // Controls in the order they are made; where two overlap, the later one is drawn above the earlier.
    std::span<const ControlLayout> controls;
};

} // namespace shell
