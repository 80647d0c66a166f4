#pragma once

#include <QPushButton>

// A push button one character wide whose caption reads downwards, one character per line. QPushButton never
// wraps its caption, so the button paints the characters itself; text() stays the plain caption.
class VerticalCaptionButton : public QPushButton {
    Q_OBJECT

public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent* event) override;
};
