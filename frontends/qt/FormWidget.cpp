#include "frontends/qt/FormWidget.h"

#include "core/shell/Program.h"
#include "core/shell/RuntimeError.h"
#include "frontends/qt/Geometry.h"
#include "frontends/qt/QtRuntime.h"
#include "frontends/qt/VerticalCaptionButton.h"
#include "frontends/qt/WindowSystem.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>
#include <QValidator>
#include <algorithm>
#include <limits>

using namespace Qt::Literals::StringLiterals;

namespace frontend {

namespace {

bool isLineBreak(QChar c)
{
    return c == u'\r' || c == u'\n' || c == QChar::LineSeparator || c == QChar::ParagraphSeparator;
}

// The text before the first line break.
QStringView firstLine(QStringView text)
{
    return text.left(std::find_if(text.cbegin(), text.cend(), isLineBreak) - text.cbegin());
}

// A single-line box holds one line: of text pasted or dropped into it, what follows the first line break is
// dropped, as the platform's single-line boxes do. QLineEdit would keep the breaks, invisible, in the text.
// A validator that trimmed the text would make QLineEdit forget its undo history, so an insertion that brings a
// break is refused, which puts the box and its history back as they were, and its first line is inserted instead.
class FirstLineOnly : public QValidator {
public:
    explicit FirstLineOnly(QLineEdit* box)
        : QValidator(box)
        , m_box(box)
    {
    }

    State validate(QString& text, int& cursor) const override
    {
        if (firstLine(text).size() == text.size())
            return Acceptable;
        // Queued, as the box is put back only after this returns. The insertion ends at the cursor and starts
        // where the box, once put back, has its selection or cursor; if anything changed the box meanwhile, it is
        // dropped.
        QMetaObject::invokeMethod(
            m_box,
            [box = m_box, text, cursor] {
                const QString held = box->text();
                const int from = box->hasSelectedText() ? box->selectionStart() : box->cursorPosition();
                const qsizetype kept = held.size() - from - box->selectedText().size(); // after the insertion
                const QStringView changed = text;
                if (cursor < from || changed.size() - cursor != kept || changed.left(from) != held.left(from) ||
                    changed.right(kept) != held.right(kept))
                    return;
                box->insert(firstLine(changed.mid(from, cursor - from)).toString());
            },
            Qt::QueuedConnection);
        return Invalid;
    }

private:
    QLineEdit* m_box;
};

QFont fontOf(const shell::Font& font)
{
    return frontend::pointFont(toQString(font.face), font.points, font.weight >= shell::BoldWeight);
}

QString objectNameOf(const shell::ControlLayout& row)
{
    const QString name = QString::fromLatin1(row.name.data(), qsizetype(row.name.size()));
    return row.arrayIndex < 0 ? name : u"%1_%2"_s.arg(name).arg(row.arrayIndex);
}

QWidget* makeLabel(QWidget* window, const shell::ControlLayout& row)
{
    auto* label = new QLabel(toQString(row.caption), window);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setWordWrap(true);
    label->setAutoFillBackground(true);
    return label;
}

QWidget* makeTextBox(QWidget* window, const shell::ControlLayout& row)
{
    auto* box = new QLineEdit(toQString(row.caption), window);
    box->setMaxLength(std::numeric_limits<int>::max()); // no limit: QLineEdit would cut at 32767
    box->setValidator(new FirstLineOnly(box));
    return box;
}

QWidget* makeButton(QWidget* window, const shell::ControlLayout& row, const QFont& font)
{
    const QString caption = toQString(row.caption);
    // The platform wraps a caption at the button's width; a button too narrow for its caption on one line is one
    // character wide here, so its caption reads downwards, a character per line.
    const int width = frontend::pixelsFromTwips(float(row.rect.width));
    QPushButton* button = QFontMetrics(font).horizontalAdvance(caption) > width
                              ? new VerticalCaptionButton(caption, window)
                              : new QPushButton(caption, window);
    // Enter and Escape must do nothing anywhere in the window.
    button->setAutoDefault(false);
    button->setDefault(false);
    button->setAccessibleName(caption);
    return button;
}

} // namespace

FormWidget::FormWidget(shell::FormId id, const shell::FormLayout& layout)
    : m_id(id)
    , m_layout(layout)
{
    setObjectName(QString::fromLatin1(layout.name.data(), qsizetype(layout.name.size())));
    if (layout.border == shell::Border::FixedSingle) {
        setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                       Qt::WindowCloseButtonHint);
        setFixedSize(frontend::sizeFromTwips(layout.clientWidth, layout.clientHeight));
    } else {
        // Qt::Tool keeps the window out of the taskbar where the platform honours the window type; X11 window
        // managers are told explicitly in showEvent.
        setWindowFlags((layout.showInTaskbar ? Qt::Window : Qt::Tool) | Qt::FramelessWindowHint);
        setAttribute(Qt::WA_ShowWithoutActivating);
        resize(frontend::sizeFromTwips(layout.clientWidth, layout.clientHeight));
    }
    setWindowTitle(toQString(layout.title));
    if (layout.hasProgramIcon) {
        // Read as PNG directly: probing the format would load every image plugin at start-up.
        QImageReader icon(u":/icons/cuixian-score-query.png"_s, "png");
        icon.setAutoDetectImageFormat(false);
        setWindowIcon(QPixmap::fromImage(icon.read()));
    }
    const QFont windowFont = fontOf(layout.font);
    setFont(windowFont);
    // A platform that closes the window destroys it; the core loads it again at its next reference.
    setAttribute(Qt::WA_DeleteOnClose);

    std::vector<std::pair<int, QWidget*>> focusable;
    for (shell::ControlIndex index = 0; index < shell::ControlIndex(layout.controls.size()); ++index) {
        const shell::ControlLayout& row = layout.controls[std::size_t(index)];
        if (row.kind == shell::ControlKind::Timer) {
            auto* timer = new QTimer(this);
            timer->setObjectName(objectNameOf(row));
            timer->setInterval(row.intervalMs);
            connect(timer, &QTimer::timeout, this, [id, index] { shell::timerTicked(id, index); });
            timer->start();
            m_controls.push_back(nullptr);
            continue;
        }
        const QFont font = row.font ? fontOf(*row.font) : windowFont;
        QWidget* widget = nullptr;
        switch (row.kind) {
        case shell::ControlKind::Label:
            widget = makeLabel(this, row);
            break;
        case shell::ControlKind::TextBox:
            widget = makeTextBox(this, row);
            focusable.emplace_back(row.tabIndex, widget);
            break;
        case shell::ControlKind::PushButton:
            widget = makeButton(this, row, font);
            connect(static_cast<QPushButton*>(widget), &QPushButton::clicked, this,
                    [id, index] { shell::controlClicked(id, index); });
            focusable.emplace_back(row.tabIndex, widget);
            break;
        case shell::ControlKind::Timer:
            break;
        }
        widget->setObjectName(objectNameOf(row));
        widget->setGeometry(frontend::rectFromTwips(row.rect.left, row.rect.top, row.rect.width, row.rect.height));
        if (row.font)
            widget->setFont(font);
        if (row.textColour) {
            QPalette palette = widget->palette();
            palette.setColor(QPalette::WindowText,
                             QColor(row.textColour->red, row.textColour->green, row.textColour->blue));
            widget->setPalette(palette);
        }
        m_controls.push_back(widget);
    }
    // Screen readers name a box after its caption label.
    for (std::size_t index = 0; index < layout.controls.size(); ++index) {
        const shell::ControlIndex label = layout.controls[index].labelledBy;
        if (label != shell::NoControl && m_controls[index])
            m_controls[index]->setAccessibleName(toQString(layout.controls[std::size_t(label)].caption));
    }
    // Labels never take the focus; the focusable controls follow their tab indices.
    std::sort(focusable.begin(), focusable.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 1; i < focusable.size(); ++i)
        QWidget::setTabOrder(focusable[i - 1].second, focusable[i].second);
}

QWidget& FormWidget::control(shell::ControlIndex index) const
{
    if (index < 0 || std::size_t(index) >= m_controls.size() || !m_controls[std::size_t(index)])
        throw RuntimeError::toolkitFailure(u"Control");
    return *m_controls[std::size_t(index)];
}

void FormWidget::closeEvent(QCloseEvent* event)
{
    if (shell::windowCloseRequested(m_id))
        event->accept();
    else
        event->ignore(); // reached only where a test let the program's end return
}

void FormWidget::showEvent(QShowEvent* event)
{
    // Sent before the window is mapped, which is when a window manager reads the state.
    if (!m_layout.showInTaskbar)
        frontend::windowsystem::setSkipTaskbar(*this);
    QWidget::showEvent(event);
}

} // namespace frontend
