#include "query_window/Form1.h"

#include "query_window/VerticalCaptionButton.h"
#include "shell/Program.h"
#include "shell/Twips.h"

#include <QCloseEvent>
#include <QIcon>
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

namespace {

const QString WrongPairPrompt = u"身份证号或准考证号错误，请重新输入！"_s;

// Never seen: the load step empties the boxes before the window is first shown.
const QString LayoutPlaceholder = u"000000000000000000"_s;

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

struct Twips {
    int left, top, width, height;
};

enum class TextColour { Standard, Red };

QLabel* makeLabel(QWidget* window, const QString& name, const QString& caption, Twips at, const QFont* font,
                  TextColour colour)
{
    auto* label = new QLabel(caption, window);
    label->setObjectName(name);
    label->setGeometry(shell::rectFromTwips(at.left, at.top, at.width, at.height));
    if (font)
        label->setFont(*font);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setWordWrap(true);
    label->setAutoFillBackground(true);
    if (colour == TextColour::Red) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, QColor(255, 0, 0));
        label->setPalette(palette);
    }
    return label;
}

QLineEdit* makeTextBox(QWidget* window, int index, Twips at, const QString& rowCaption)
{
    auto* box = new QLineEdit(LayoutPlaceholder, window);
    box->setObjectName(u"Text1_%1"_s.arg(index));
    box->setGeometry(shell::rectFromTwips(at.left, at.top, at.width, at.height));
    box->setMaxLength(std::numeric_limits<int>::max()); // no limit: QLineEdit would cut at 32767
    box->setValidator(new FirstLineOnly(box));
    box->setAccessibleName(rowCaption);
    return box;
}

template <class Button = QPushButton>
Button* makeButton(QWidget* window, const QString& name, const QString& caption, Twips at, const QFont* font)
{
    auto* button = new Button(caption, window);
    button->setObjectName(name);
    button->setGeometry(shell::rectFromTwips(at.left, at.top, at.width, at.height));
    if (font)
        button->setFont(*font);
    // Enter and Escape must do nothing anywhere in the window.
    button->setAutoDefault(false);
    button->setDefault(false);
    button->setAccessibleName(caption);
    return button;
}

} // namespace

Form1::Form1()
{
    setObjectName(u"Form1"_s);
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setWindowTitle(u"2018年翠县一中西校区公开招聘教师笔试成绩查询软件"_s);
    // Read as PNG directly: probing the format would load every image plugin at start-up.
    QImageReader icon(u":/icons/cuixian-score-query.png"_s, "png");
    icon.setAutoDetectImageFormat(false);
    setWindowIcon(QPixmap::fromImage(icon.read()));
    setFixedSize(shell::sizeFromTwips(9090, 5025));
    setFont(shell::pointFont(u"宋体"_s, 18));
    buildLayout();

    Timer1 = new QTimer(this);
    Timer1->setObjectName(u"Timer1"_s);
    Timer1->setInterval(50);
    connect(Timer1, &QTimer::timeout, this, [this] { shell::runEventProcedure([this] { Timer1_Timer(); }); });
    Timer1->start();
}

void Form1::buildLayout()
{
    const QFont heiti1875Bold = shell::pointFont(u"黑体"_s, 18.75, true);
    const QFont heiti18Bold = shell::pointFont(u"黑体"_s, 18, true);
    const QFont songti12 = shell::pointFont(u"宋体"_s, 12);
    const QFont songti1425 = shell::pointFont(u"宋体"_s, 14.25);
    const QFont* windowFont = nullptr;
    using enum TextColour;

    // clang-format off
    //          control                    name           caption                                             left   top  width height  font
    Label5    = makeLabel(this,            u"Label5"_s,   u"2018年翠县一中西校区公开招聘教师笔试成绩"_s,      {600,  360, 8295,  495}, &heiti1875Bold, Red);
    Label1    = makeLabel(this,            u"Label1"_s,   u"身份证号："_s,                                    {1560, 1320, 1815, 495}, windowFont,     Standard);
    m_text1[0] = makeTextBox(this, 0,                                                                        {3480, 1320, 3615, 495}, Label1->text());
    Label6    = makeLabel(this,            u"Label6"_s,   u"*"_s,                                             {7200, 1320,  735, 375}, &heiti18Bold,   Red);
    Command4  = makeButton<VerticalCaptionButton>(this, u"Command4"_s, u"软件使用说明"_s,                     {8760, 1560,  375, 1575}, &songti12);
    Label2    = makeLabel(this,            u"Label2"_s,   u"准考证号："_s,                                    {1560, 1920, 1815, 495}, windowFont,     Standard);
    m_text1[1] = makeTextBox(this, 1,                                                                        {3480, 1920, 3615, 495}, Label2->text());
    Label7    = makeLabel(this,            u"Label7"_s,   u"*"_s,                                             {7200, 1920,  735, 375}, &heiti18Bold,   Red);
    Label3    = makeLabel(this,            u"Label3"_s,   u"姓    名："_s,                                    {1560, 2520, 1815, 495}, windowFont,     Standard);
    m_text1[2] = makeTextBox(this, 2,                                                                        {3480, 2520, 3615, 495}, Label3->text());
    Command3  = makeButton(this,           u"Command3"_s, u"确    定"_s,                                      {2760, 2880, 3255, 615}, windowFont);
    Label4    = makeLabel(this,            u"Label4"_s,   u"成    绩："_s,                                    {1560, 3120, 1815, 495}, windowFont,     Standard);
    m_text1[3] = makeTextBox(this, 3,                                                                        {3480, 3120, 3615, 495}, Label4->text());
    Command1  = makeButton(this,           u"Command1"_s, u"继续查询"_s,                                      {1680, 3960, 2295, 615}, windowFont);
    Command2  = makeButton(this,           u"Command2"_s, u"退    出"_s,                                      {5040, 3960, 2295, 615}, windowFont);
    Label8    = makeLabel(this,            u"Label8"_s,   u"翠县人社局办公室制"_s,                            {6360, 4680, 2655, 375}, &songti1425,    Standard);
    // clang-format on

    // Labels never take the focus; the focusable controls follow their tab indices 0, 1, 2, 3, 8, 9, 10, 15.
    QWidget::setTabOrder(m_text1[0], m_text1[1]);
    QWidget::setTabOrder(m_text1[1], m_text1[2]);
    QWidget::setTabOrder(m_text1[2], m_text1[3]);
    QWidget::setTabOrder(m_text1[3], Command1);
    QWidget::setTabOrder(Command1, Command2);
    QWidget::setTabOrder(Command2, Command3);
    QWidget::setTabOrder(Command3, Command4);

    connect(Command1, &QPushButton::clicked, this, [this] { shell::runEventProcedure([this] { Command1_Click(); }); });
    connect(Command2, &QPushButton::clicked, this, [this] { shell::runEventProcedure([this] { Command2_Click(); }); });
    connect(Command3, &QPushButton::clicked, this, [this] { shell::runEventProcedure([this] { Command3_Click(); }); });
    connect(Command4, &QPushButton::clicked, this, [this] { shell::runEventProcedure([this] { Command4_Click(); }); });
}

Form1& Form1::instance()
{
    return holder().get();
}

shell::FormInstance<Form1>& Form1::holder()
{
    static shell::FormInstance<Form1> form;
    return form;
}

QLineEdit& Form1::Text1(int index) const
{
    if (index < 0 || index >= int(m_text1.size()))
        throw RuntimeError::subscriptOutOfRange();
    return *m_text1[std::size_t(index)];
}

void Form1::Form_Load()
{
    // Centre by the outer frame on the whole primary screen; halves stay unrounded until the toolkit.
    const float width = shell::outerWidth(Form1::instance());
    shell::setOuterLeft(Form1::instance(), (shell::screenWidth() - width) / 2.0f);
    const float height = shell::outerHeight(Form1::instance());
    shell::setOuterTop(Form1::instance(), (shell::screenHeight() - height) / 2.0f);

    for (CurrentRow = 0; CurrentRow <= 3; CurrentRow.step())
        Text1(CurrentRow).setText(QString());

    hideResult();

    roster::chushi(Roster);
    roster::fillIdNumbers(Roster);
}

void Form1::Form_Unload()
{
    shell::EndProgram();
}

void Form1::Command3_Click()
{
    roster::FindCandidate(Roster, Text1(0).text(), Text1(1).text(), CurrentRow);
    if (CurrentRow > roster::RowCount) {
        shell::showMessage(WrongPairPrompt);
        Text1(0).setText(QString());
        Text1(1).setText(QString());
        return;
    }
    showResult();
}

void Form1::hideResult()
{
    Text1(2).hide();
    Text1(3).hide();
    Label3->hide();
    Label4->hide();
    Command1->hide();
    Command2->hide();
}

void Form1::showResult()
{
    Command3->hide();
    Command2->show();
    Command1->show();
    Text1(2).setText(Roster.CandidateName(CurrentRow));
    Text1(2).show();
    Text1(3).setText(Roster.Score(CurrentRow));
    Text1(3).show();
    Label3->show();
    Label4->show();
}

void Form1::Command1_Click()
{
    // The name and score are emptied before their boxes hide, so a later result never shows an earlier one.
    for (m_clearIndex = 0; m_clearIndex <= 3; m_clearIndex.step())
        Text1(m_clearIndex).setText(QString());

    hideResult();
    Command3->show(); // last, after the controls it overlaps are hidden
}

void Form1::Command2_Click()
{
    shell::EndProgram();
}

void Form1::closeEvent(QCloseEvent* event)
{
    shell::runEventProcedure([this] { Form_Unload(); });
    // Reached only when a test's exit handler let the program's end return.
    event->ignore();
}
