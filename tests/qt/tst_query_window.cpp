// The query window as the Qt front end makes it, in process on the offscreen platform: widgets built from the
// layout table, faces, the tall caption, focus and tab order, paste and keys, and how the message box looks.

#include "frontends/qt/VerticalCaptionButton.h"
#include "tests/GuiTestSupport.h"
#include "tests/RosterTable.h"

#include <QClipboard>
#include <QFontInfo>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>

using namespace Qt::Literals::StringLiterals;

namespace {

// How tall a caption's ink stands in its em, and where an 18-character identity number's ink lies in its box, in ems
// of points x dpi / 72 device pixels. The Wine cases hold the Windows program's screen to the same figures
// (tests/e2e/windows_target.py, CAPTION_INK_PER_EM and the two after it).
constexpr std::pair CaptionInkPerEm{0.85, 1.05};
constexpr std::pair NumberInkPerEm{8.75, 9.0}; // 18 half-width characters advance 9 em
constexpr double NumberMarginPerEm = 0.25;     // from the box's inner left edge to the first character's ink

// A widget's em in the device pixels of its picture.
double emPixels(const QWidget& widget, const QImage& picture)
{
    return widget.font().pointSizeF() * widget.logicalDpiY() / 72.0 * picture.devicePixelRatio();
}

// The pixels where `image` clearly differs from `blank`, the same control without text, and their bounds.
int inkPixels(const QImage& image, const QImage& blank, QRect* bounds)
{
    int pixels = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAbs(qGray(image.pixel(x, y)) - qGray(blank.pixel(x, y))) > 80) {
                ++pixels;
                *bounds |= QRect(x, y, 1, 1);
            }
    return pixels;
}

// Where `image` clearly differs from `blank`, white on black.
QImage inkMask(const QImage& image, const QImage& blank)
{
    QImage mask(image.size(), QImage::Format_Grayscale8);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            mask.setPixel(x, y, qAbs(qGray(image.pixel(x, y)) - qGray(blank.pixel(x, y))) > 80 ? 0xffffff : 0);
    return mask;
}

// The ink of a mask in rows `top` to `bottom`, cut to its bounds; null where there is none.
QImage inkInRows(const QImage& mask, int top, int bottom)
{
    QRect bounds;
    for (int y = top; y <= bottom; ++y)
        for (int x = 0; x < mask.width(); ++x)
            if (qGray(mask.pixel(x, y)))
                bounds |= QRect(x, y, 1, 1);
    return bounds.isEmpty() ? QImage() : mask.copy(bounds);
}

// How alike two pieces of ink are, laid over each other by their top-left corners: the share of all their
// pixels that both have.
double likeness(const QImage& a, const QImage& b)
{
    int both = 0, either = 0;
    for (int y = 0; y < std::max(a.height(), b.height()); ++y)
        for (int x = 0; x < std::max(a.width(), b.width()); ++x) {
            const bool inA = a.valid(x, y) && qGray(a.pixel(x, y));
            const bool inB = b.valid(x, y) && qGray(b.pixel(x, y));
            both += inA && inB;
            either += inA || inB;
        }
    return double(both) / std::max(either, 1);
}

} // namespace

class TestQueryWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void layout_data();
    void layout();
    void windowFrameAndIcon();
    void colonsAlignAndANumberFitsItsBox();
    void tallButtonReadsDownwards();

    void startUpState();
    void tabOrderSkipsHiddenControls();

    void wrongPairMessageBox();
    void pastedPairKeepsItsFirstLines();
    void enterAndEscapeDoNothing();
    void hundredThousandCharacterInput();

private:
    QueryWindow window() { return m_life->query(); }
    void enterPair(const QString& id, const QString& ticket);
    void verifyEntryState();
    void verifyResultState();

    QList<TableRow> m_table;
    std::unique_ptr<QtProgram> m_life;
};

void TestQueryWindow::initTestCase()
{
    frontend::initialiseToolkit();
    QApplication::setStyle(new DesktopButtonStyle);
    m_table = readRosterTable();
}

void TestQueryWindow::init()
{
    m_life = std::make_unique<QtProgram>();
    QVERIFY(QTest::qWaitForWindowExposed(m_life->startUp().form));
}

void TestQueryWindow::cleanup()
{
    m_life.reset();
}

void TestQueryWindow::enterPair(const QString& id, const QString& ticket)
{
    typeInto(window().Text1(0), id);
    typeInto(window().Text1(1), ticket);
}

void TestQueryWindow::verifyEntryState()
{
    const QueryWindow w = window();
    QVERIFY(w.Text1(0).isVisible() && w.Text1(1).isVisible() && w.Command3->isVisible());
    for (QWidget* hidden :
         {static_cast<QWidget*>(&w.Text1(2)), static_cast<QWidget*>(&w.Text1(3)), static_cast<QWidget*>(w.Label3),
          static_cast<QWidget*>(w.Label4), static_cast<QWidget*>(w.Command1), static_cast<QWidget*>(w.Command2)})
        QVERIFY2(!hidden->isVisible(), qPrintable(hidden->objectName()));
    QVERIFY(w.Text1(2).text().isEmpty());
    QVERIFY(w.Text1(3).text().isEmpty());
}

void TestQueryWindow::verifyResultState()
{
    const QueryWindow w = window();
    QVERIFY(!w.Command3->isVisible());
    for (QWidget* shown :
         {static_cast<QWidget*>(&w.Text1(2)), static_cast<QWidget*>(&w.Text1(3)), static_cast<QWidget*>(w.Label3),
          static_cast<QWidget*>(w.Label4), static_cast<QWidget*>(w.Command1), static_cast<QWidget*>(w.Command2)})
        QVERIFY2(shown->isVisible(), qPrintable(shown->objectName()));
}

void TestQueryWindow::layout_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QRect>("twips");
    QTest::addColumn<QString>("face");
    QTest::addColumn<qreal>("points");
    QTest::addColumn<bool>("bold");
    QTest::addColumn<bool>("red");

    const QString song = u"宋体"_s, hei = u"黑体"_s;
    // clang-format off
    QTest::newRow("Label5")   << u"Label5"_s   << u"2018年翠县一中西校区公开招聘教师笔试成绩"_s << QRect(600, 360, 8295, 495)   << hei  << 18.75 << true  << true;
    QTest::newRow("Label1")   << u"Label1"_s   << u"身份证号："_s   << QRect(1560, 1320, 1815, 495) << song << 18.0  << false << false;
    QTest::newRow("Text1_0")  << u"Text1_0"_s  << QString()         << QRect(3480, 1320, 3615, 495) << song << 18.0  << false << false;
    QTest::newRow("Label6")   << u"Label6"_s   << u"*"_s            << QRect(7200, 1320, 735, 375)  << hei  << 18.0  << true  << true;
    QTest::newRow("Command4") << u"Command4"_s << u"软件使用说明"_s << QRect(8760, 1560, 375, 1575) << song << 12.0  << false << false;
    QTest::newRow("Label2")   << u"Label2"_s   << u"准考证号："_s   << QRect(1560, 1920, 1815, 495) << song << 18.0  << false << false;
    QTest::newRow("Text1_1")  << u"Text1_1"_s  << QString()         << QRect(3480, 1920, 3615, 495) << song << 18.0  << false << false;
    QTest::newRow("Label7")   << u"Label7"_s   << u"*"_s            << QRect(7200, 1920, 735, 375)  << hei  << 18.0  << true  << true;
    QTest::newRow("Label3")   << u"Label3"_s   << u"姓    名："_s   << QRect(1560, 2520, 1815, 495) << song << 18.0  << false << false;
    QTest::newRow("Text1_2")  << u"Text1_2"_s  << QString()         << QRect(3480, 2520, 3615, 495) << song << 18.0  << false << false;
    QTest::newRow("Command3") << u"Command3"_s << u"确    定"_s     << QRect(2760, 2880, 3255, 615) << song << 18.0  << false << false;
    QTest::newRow("Label4")   << u"Label4"_s   << u"成    绩："_s   << QRect(1560, 3120, 1815, 495) << song << 18.0  << false << false;
    QTest::newRow("Text1_3")  << u"Text1_3"_s  << QString()         << QRect(3480, 3120, 3615, 495) << song << 18.0  << false << false;
    QTest::newRow("Command1") << u"Command1"_s << u"继续查询"_s     << QRect(1680, 3960, 2295, 615) << song << 18.0  << false << false;
    QTest::newRow("Command2") << u"Command2"_s << u"退    出"_s     << QRect(5040, 3960, 2295, 615) << song << 18.0  << false << false;
    QTest::newRow("Label8")   << u"Label8"_s   << u"翠县人社局办公室制"_s << QRect(6360, 4680, 2655, 375) << song << 14.25 << false << false;
    // clang-format on
}

void TestQueryWindow::layout()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QRect, twips);
    QFETCH(QString, face);
    QFETCH(qreal, points);
    QFETCH(bool, bold);
    QFETCH(bool, red);

    auto* control = window().form->findChild<QWidget*>(name);
    QVERIFY(control);
    QCOMPARE(control->parentWidget(), window().form);
    QCOMPARE(control->geometry(), QRect(twips.x() / 15, twips.y() / 15, twips.width() / 15, twips.height() / 15));
    QCOMPARE(control->font().family(), face);
    QCOMPARE(control->font().pointSizeF(), points);
    QCOMPARE(control->font().bold(), bold);
    QVERIFY(!control->font().italic() && !control->font().underline() && !control->font().strikeOut());
    // The Windows face names must reach a Ming and a Hei face with half-width Latin characters.
    QCOMPARE(QFontInfo(control->font()).family(), face == u"宋体"_s ? u"AR PL UMing CN"_s : u"Noto Sans Mono CJK SC"_s);
    // Every caption fits its control on one line; the tall button's reads downwards instead.
    QVERIFY(name == u"Command4"_s || control->fontMetrics().horizontalAdvance(caption) <= control->width());
    QVERIFY(control->isEnabled());

    if (auto* label = qobject_cast<QLabel*>(control)) {
        QCOMPARE(label->text(), caption);
        QVERIFY(label->wordWrap());
        QVERIFY(label->autoFillBackground());
        QCOMPARE(label->alignment(), Qt::AlignLeft | Qt::AlignTop);
        QCOMPARE(label->frameShape(), QFrame::NoFrame);
        const QColor text = label->palette().color(QPalette::WindowText);
        QCOMPARE(text == QColor(255, 0, 0), red);
        QCOMPARE(label->palette().color(QPalette::Window), window().form->palette().color(QPalette::Window));
    } else if (auto* button = qobject_cast<QPushButton*>(control)) {
        QCOMPARE(button->text(), caption);
        QVERIFY(!button->isDefault() && !button->autoDefault());
        QCOMPARE(button->accessibleName(), caption);
    } else {
        auto* box = qobject_cast<QLineEdit*>(control);
        QVERIFY(box);
        QVERIFY(!box->isReadOnly());
        QCOMPARE(box->echoMode(), QLineEdit::Normal);
        QCOMPARE(box->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
        QVERIFY(box->maxLength() >= 100'000);
        QCOMPARE(box->font(), window().form->font());
        QVERIFY(!box->accessibleName().isEmpty());
    }
}

void TestQueryWindow::windowFrameAndIcon()
{
    const QueryWindow w = window();
    QCOMPARE(w.form->windowTitle(), u"2018年翠县一中西校区公开招聘教师笔试成绩查询软件"_s);
    QCOMPARE(w.form->size(), QSize(606, 335));
    QCOMPARE(w.form->minimumSize(), w.form->maximumSize());
    const Qt::WindowFlags flags = w.form->windowFlags();
    QVERIFY(flags & Qt::WindowTitleHint);
    QVERIFY(flags & Qt::WindowSystemMenuHint);
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    QVERIFY(!(flags & Qt::FramelessWindowHint));
    QCOMPARE(w.form->windowType(), Qt::Window);
    const QList<QSize> sizes = w.form->windowIcon().availableSizes();
    QVERIFY(sizes.contains(QSize(48, 48)));
    QCOMPARE(w.form->findChildren<QLineEdit*>().size(), 4);
    QCOMPARE(w.Text1(1).accessibleName(), u"准考证号："_s);
}

void TestQueryWindow::colonsAlignAndANumberFitsItsBox()
{
    // The row captions are equally wide, so their colons end one above the other. Their ink, and the title's, stands
    // as tall in the em as a Ming or a Hei face draws its ideographs.
    QList<qreal> colonRightEdges;
    for (QLabel* caption : {window().Label1, window().Label2, window().Label3, window().Label4, window().Label5}) {
        const QImage image = caption->grab().toImage();
        QImage blank = image;
        blank.fill(image.pixel(image.width() - 1, 0));
        QRect ink;
        inkPixels(image, blank, &ink);
        const double tall = ink.height() / emPixels(*caption, image);
        QVERIFY2(tall >= CaptionInkPerEm.first && tall <= CaptionInkPerEm.second,
                 qPrintable(u"%1's ink is %2 em tall"_s.arg(caption->objectName()).arg(tall)));
        if (caption != window().Label5)
            colonRightEdges.append(caption->x() + (ink.right() + 1) / image.devicePixelRatio());
    }
    const auto [left, right] = std::minmax_element(colonRightEdges.cbegin(), colonRightEdges.cend());
    QVERIFY2(*right - *left <= 1, qPrintable(u"colons end at %1 to %2 px"_s.arg(*left).arg(*right)));

    // The number's ink, the caret away in the other box: whole, from close to the inner left edge to short of the
    // inner right one.
    QLineEdit& box = window().Text1(0);
    const int xRow = firstRowWhere(m_table, [](const TableRow& r) { return r.id.endsWith(u'X'); });
    box.setText(m_table[xRow].id);
    window().Text1(1).setFocus();
    const QImage shown = box.grab().toImage();
    box.clear();
    QRect ink;
    inkPixels(shown, box.grab().toImage(), &ink);
    const double em = emPixels(box, shown);
    const double frame =
        box.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, &box) * shown.devicePixelRatio();
    const double margin = (ink.left() - frame) / em, wide = ink.width() / em;
    const double spare = shown.width() - frame - (ink.right() + 1);
    QVERIFY2(margin > 0 && margin <= NumberMarginPerEm && spare > 0 && wide >= NumberInkPerEm.first &&
                 wide <= NumberInkPerEm.second,
             qPrintable(u"ink %1 em wide from %2 em in, %3 px to spare"_s.arg(wide).arg(margin).arg(spare)));

    // From its first character to its end the cursor travels the whole width of the number: nothing scrolled.
    const auto cursorX = [&box](bool atEnd) {
        atEnd ? box.end(false) : box.home(false);
        box.grab(); // QLineEdit works out its scrolling when it paints
        return box.inputMethodQuery(Qt::ImCursorRectangle).toRect().center().x();
    };
    for (const QString& text : {m_table[xRow].id, m_table[xRow].id + m_table[xRow].id}) {
        box.setText(text);
        const int travelled = cursorX(true) - cursorX(false);
        QCOMPARE(travelled == box.fontMetrics().horizontalAdvance(text), text.size() == 18);
    }
}

void TestQueryWindow::tallButtonReadsDownwards()
{
    QPushButton* button = window().Command4;
    QCOMPARE(button->text(), u"软件使用说明"_s);
    // Ink of the caption: what the button shows beyond the same button without one.
    VerticalCaptionButton bareButton;
    bareButton.setFont(button->font());
    bareButton.resize(button->size());
    const QImage bare = bareButton.grab().toImage();
    // Each character drawn whole on its own; the caption must show all of that ink, one character under another.
    QRect ink, single;
    int expected = 0;
    QList<QImage> characters;
    for (QChar character : button->text()) {
        QImage alone = bare;
        QPainter painter(&alone);
        painter.setFont(button->font());
        painter.setPen(button->palette().color(QPalette::ButtonText));
        painter.drawText(button->rect(), Qt::AlignCenter, character);
        painter.end();
        expected += inkPixels(alone, bare, &single);
        characters.append(inkInRows(inkMask(alone, bare), 0, alone.height() - 1));
    }
    const QImage caption = button->grab().toImage();
    const int shown = inkPixels(caption, bare, &ink);
    QVERIFY2(shown >= expected * 99 / 100, qPrintable(u"%1 of %2 ink pixels shown"_s.arg(shown).arg(expected)));
    QVERIFY2(ink.height() > 5 * ink.width(), qPrintable(u"ink %1x%2"_s.arg(ink.width()).arg(ink.height())));

    // Read from the top, line by line (rows of ink between empty rows): each line is the next character.
    const QImage mask = inkMask(caption, bare);
    QList<QImage> lines;
    for (int y = 0, top = -1; y <= mask.height(); ++y) {
        const bool inked = y < mask.height() && !inkInRows(mask, y, y).isNull();
        if (inked && top < 0)
            top = y;
        if (!inked && top >= 0)
            lines.append(inkInRows(mask, std::exchange(top, -1), y - 1));
    }
    QCOMPARE(lines.size(), characters.size());
    for (qsizetype line = 0; line < lines.size(); ++line) {
        const auto readAs = std::max_element(characters.cbegin(), characters.cend(), [&](auto& a, auto& b) {
            return likeness(lines[line], a) < likeness(lines[line], b);
        });
        QVERIFY2(readAs - characters.cbegin() == line,
                 qPrintable(u"line %1 reads as %2"_s.arg(line + 1).arg(button->text()[readAs - characters.cbegin()])));
    }
}

void TestQueryWindow::startUpState()
{
    const QueryWindow w = window();
    QVERIFY(w.form->isVisible());
    verifyEntryState();
    QVERIFY(w.Text1(0).text().isEmpty());
    QVERIFY(w.Text1(1).text().isEmpty());
    for (QWidget* always :
         {static_cast<QWidget*>(w.Label1), static_cast<QWidget*>(w.Label2), static_cast<QWidget*>(w.Label5),
          static_cast<QWidget*>(w.Label6), static_cast<QWidget*>(w.Label7), static_cast<QWidget*>(w.Label8),
          static_cast<QWidget*>(w.Command4)})
        QVERIFY(always->isVisible());
    QVERIFY(w.Timer1->isActive());
    QCOMPARE(w.Timer1->interval(), 50);

    // Centred on the whole screen by the outer size known at load time: without a window manager there is no
    // frame yet, and the offscreen platform's pretend frame appears only once the window is shown.
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QVERIFY(qAbs(w.form->pos().x() - (screen.width() - w.form->width()) / 2.0) <= 0.5);
    QVERIFY(qAbs(w.form->pos().y() - (screen.height() - w.form->height()) / 2.0) <= 0.5);
    int queryWindows = 0;
    for (QWidget* top : QApplication::topLevelWidgets())
        queryWindows += top->objectName() == u"Form1"_s;
    QCOMPARE(queryWindows, 1);

    QVERIFY(QTest::qWaitForWindowActive(w.form));
    QCOMPARE(QApplication::focusWidget(), &w.Text1(0));
}

void TestQueryWindow::tabOrderSkipsHiddenControls()
{
    const QueryWindow w = window();
    QVERIFY(QTest::qWaitForWindowActive(w.form));
    w.Text1(1).setFocus();
    const QList<QWidget*> expected = {w.Command3, w.Command4, &w.Text1(0), &w.Text1(1)};
    for (QWidget* next : expected) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), next);
    }
    // In the result state the name and score boxes and both lower buttons join the order.
    enterPair(m_table[4].id, m_table[4].ticket);
    QTest::mouseClick(w.Command3, Qt::LeftButton);
    w.Text1(1).setFocus();
    for (QWidget* next : QList<QWidget*>{&w.Text1(2), &w.Text1(3), w.Command1, w.Command2, w.Command4}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), next);
    }
}

void TestQueryWindow::wrongPairMessageBox()
{
    const QueryWindow w = window();
    QStringList inputsWhileOpen;
    MessageBoxAnswerer answerer([&] { inputsWhileOpen = {w.Text1(0).text(), w.Text1(1).text()}; });
    enterPair(m_table[10].id, m_table[11].ticket);
    QTest::mouseClick(w.Command3, Qt::LeftButton);

    QCOMPARE(answerer.seen.size(), 1);
    const SeenMessageBox& box = answerer.seen.first();
    QCOMPARE(box.text, u"身份证号或准考证号错误，请重新输入！"_s);
    QCOMPARE(box.title, u"工程1"_s);
    QCOMPARE(box.buttons, QStringList{u"确定"_s});
    QVERIFY(!box.buttonIcons);
    QCOMPARE(box.icon, QMessageBox::NoIcon);
    QCOMPARE(box.modality, Qt::ApplicationModal);
    // The box runs its own loop: the inputs are emptied only once it has gone.
    QCOMPARE(inputsWhileOpen, (QStringList{m_table[10].id, m_table[11].ticket}));
    QVERIFY(w.Text1(0).text().isEmpty());
    QVERIFY(w.Text1(1).text().isEmpty());
    verifyEntryState();
}

void TestQueryWindow::pastedPairKeepsItsFirstLines()
{
    // Copied from a spreadsheet cell or a document, a number brings a line break; a box keeps the line before it.
    const QueryWindow w = window();
    // Cutting the break keeps the edit history: one undo takes back the paste, as it would without a break.
    QLineEdit& first = w.Text1(0);
    typeInto(first, u"123"_s);
    QGuiApplication::clipboard()->setText(u"45\r\n67"_s);
    QTest::keySequence(&first, QKeySequence::Paste);
    QTRY_COMPARE(first.text(), u"12345"_s);
    QTest::keySequence(&first, QKeySequence::Undo);
    QCOMPARE(first.text(), u"123"_s);
    first.clear();

    const TableRow& row = m_table[50];
    typeInto(w.Text1(1), row.ticket.right(3));
    QTest::keyClick(&w.Text1(1), Qt::Key_Home);
    for (const auto& [box, clip] : {std::pair{0, row.id + u"\r\n"_s}, {1, row.ticket.chopped(3) + u"\u2029x\ny"_s}}) {
        QGuiApplication::clipboard()->setText(clip);
        QTest::keySequence(&w.Text1(box), QKeySequence::Paste);
    }
    QTRY_COMPARE(w.Text1(0).text(), row.id);
    QTRY_COMPARE(w.Text1(1).text(), row.ticket);
    QTest::mouseClick(w.Command3, Qt::LeftButton);
    verifyResultState();
}

void TestQueryWindow::enterAndEscapeDoNothing()
{
    const QueryWindow w = window();
    MessageBoxAnswerer answerer;
    enterPair(m_table[30].id, m_table[30].ticket);
    for (int box : {0, 1}) {
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
            QTest::keyClick(&w.Text1(box), key);
    }
    QTest::qWait(20);
    verifyEntryState();
    QVERIFY(answerer.seen.isEmpty());
    QCOMPARE(w.Text1(0).text(), m_table[30].id);
    QVERIFY(w.form->isVisible());
    QVERIFY(m_life->exitStatuses.isEmpty());
}

void TestQueryWindow::hundredThousandCharacterInput()
{
    const QueryWindow w = window();
    MessageBoxAnswerer answerer;
    const QString huge = QString(100'000, u'7');
    w.Text1(0).setText(huge);
    w.Text1(0).insert(u"8"_s); // typing past the length QLineEdit allows by default
    QCOMPARE(w.Text1(0).text().size(), 100'001);
    typeInto(w.Text1(1), m_table[1].ticket);
    QTest::mouseClick(w.Command3, Qt::LeftButton);
    QCOMPARE(answerer.seen.size(), 1);
    QVERIFY(w.Text1(0).text().isEmpty());

    // Kept whole and looked up as typed: the real number with 100,000 characters after it is not found.
    w.Text1(0).setText(m_table[1].id + huge);
    QCOMPARE(w.Text1(0).text().size(), m_table[1].id.size() + 100'000);
    typeInto(w.Text1(1), m_table[1].ticket);
    QTest::mouseClick(w.Command3, Qt::LeftButton);
    QCOMPARE(answerer.seen.size(), 2);
    QVERIFY(!w.Text1(2).isVisible());
}

QTEST_MAIN(TestQueryWindow)
#include "tst_query_window.moc"
