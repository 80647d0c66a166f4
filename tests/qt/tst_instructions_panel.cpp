// The instructions panel as the Qt front end makes and places it, in process on the offscreen platform: docked in
// Qt's own geometry, shown without taking the keyboard, made again after the platform closed it.

#include "tests/GuiTestSupport.h"

#include <QFontInfo>
#include <QLabel>
#include <QPushButton>

using namespace Qt::Literals::StringLiterals;

namespace {

// Counts the moves and resizes that reach a window.
class GeometryEventCounter : public QObject {
public:
    explicit GeometryEventCounter(QWidget* watched) { watched->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        count += event->type() == QEvent::Move || event->type() == QEvent::Resize;
        return false;
    }
};

} // namespace

class TestInstructionsPanel : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { frontend::initialiseToolkit(); }
    void init();
    void cleanup() { m_life.reset(); }

    void firstTickLoadsThePanelHiddenAndDocked();
    void toggling();
    void unchangedPositionReachesNothing();
    void halfTwipReachesTheToolkitUnrounded();
    void reloadedAfterThePlatformClosesIt();
    void windowAndLabel();

private:
    void verifyDocked();
    std::unique_ptr<QtProgram> m_life;
};

void TestInstructionsPanel::init()
{
    m_life = std::make_unique<QtProgram>();
    QVERIFY(QTest::qWaitForWindowExposed(m_life->startUp().form));
}

void TestInstructionsPanel::verifyDocked()
{
    // Against the query window's outer frame, as high and half as wide; half a pixel rounds up.
    const QRect query = m_life->query().form->frameGeometry();
    const QWidget& panel = *m_life->panel();
    QCOMPARE(panel.frameGeometry(), QRect(query.right() + 1, query.top(), (query.width() + 1) / 2, query.height()));
}

void TestInstructionsPanel::firstTickLoadsThePanelHiddenAndDocked()
{
    QVERIFY(!m_life->panel());
    QTRY_VERIFY(m_life->panel());
    QVERIFY(!m_life->panel()->isVisible());
    verifyDocked();
}

void TestInstructionsPanel::toggling()
{
    QPushButton* button = m_life->query().Command4;
    QTRY_VERIFY(m_life->panel());
    QWidget* panel = m_life->panel();
    for (bool shown : {true, false, true}) {
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(panel->isVisible(), shown);
    }
    QCOMPARE(m_life->panel(), panel); // toggling never makes a second panel
    verifyDocked();
    // The query window keeps the keyboard: showing the panel does not take it.
    QVERIFY(!panel->isActiveWindow());
}

void TestInstructionsPanel::unchangedPositionReachesNothing()
{
    // Shown, so that every move reaches it at once (a hidden widget defers its move events).
    const QueryWindow w = m_life->query();
    QWidget& query = *w.form;
    QTest::mouseClick(w.Command4, Qt::LeftButton);
    QTest::qWait(120); // let the first ticks settle the panel
    GeometryEventCounter counter(m_life->panel());
    QTest::qWait(300);
    QCOMPARE(counter.count, 0);
    query.move(query.pos() + QPoint(5, 0));
    QTRY_VERIFY(counter.count > 0);
}

void TestInstructionsPanel::halfTwipReachesTheToolkitUnrounded()
{
    // A frame that makes the query window's outer width odd: half of it ends in half a twip, which the load
    // step hands on, so the panel's width rounds up; halving whole twips would round it down.
    const QueryWindow w = m_life->query();
    QWidget& query = *w.form;
    query.setFixedWidth(query.width() + 1 - query.frameGeometry().width() % 2);
    QCOMPARE(query.frameGeometry().width() % 2, 1);
    delete m_life->panel();
    Form2::holder().unloaded();
    shell::runEventProcedure([] { Form2::instance(); });
    verifyDocked();
}

void TestInstructionsPanel::reloadedAfterThePlatformClosesIt()
{
    const QueryWindow w = m_life->query();
    QWidget& query = *w.form;
    QTest::mouseClick(w.Command4, Qt::LeftButton);
    QPointer<QWidget> first = m_life->panel();
    QVERIFY(first->isVisible());
    QVERIFY(first->close()); // as the window manager's close command would
    QVERIFY(!Form2::holder().isLoaded());
    QVERIFY(query.isVisible());
    QVERIFY(m_life->exitStatuses.isEmpty());

    QTRY_VERIFY(Form2::holder().isLoaded()); // the next tick loads it again
    QTRY_VERIFY(first.isNull());             // Qt deletes the closed window itself
    QVERIFY(!m_life->panel()->isVisible());
    verifyDocked();
    QTest::mouseClick(w.Command4, Qt::LeftButton);
    QVERIFY(m_life->panel()->isVisible());
}

void TestInstructionsPanel::windowAndLabel()
{
    QTRY_VERIFY(m_life->panel());
    QWidget& panel = *m_life->panel();
    QCOMPARE(panel.windowTitle(), u"软件使用说明"_s);
    QVERIFY(panel.windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(panel.windowType(), Qt::Tool);
    QVERIFY(panel.windowIcon().availableSizes().isEmpty());
    QCOMPARE(panel.findChildren<QWidget*>().size(), 1);

    auto* label = panel.findChild<QLabel*>(u"Label1"_s);
    QVERIFY(label);
    QCOMPARE(label->objectName(), u"Label1"_s);
    QCOMPARE(label->text(), u"软件使用说明：\r\n"
                            u"1、本软件只能查询2018年翠县一中西校区公开招聘教师笔试成绩。\r\n"
                            u"2、查询时，必须输入准考证号和身份证号，二者缺一不可。\r\n"
                            u"3、身份证号如有字母，请输入大写字母。\r\n"
                            u"在查询过程中，如有疑问请致电0557-5550123。"_s);
    QCOMPARE(label->geometry(), QRect(24, 32, 265, 305));
    QCOMPARE(label->font().family(), u"宋体"_s);
    QCOMPARE(label->font().pointSizeF(), 14.25);
    QVERIFY(!label->font().bold());
    QCOMPARE(QFontInfo(label->font()).family(), u"AR PL UMing CN"_s);
    QVERIFY(label->wordWrap());
    QVERIFY(label->autoFillBackground());
    QCOMPARE(label->alignment(), Qt::AlignLeft | Qt::AlignTop);
    // Five lines, each wrapped within the label: the text needs more height than five single lines.
    const QRect needed =
        label->fontMetrics().boundingRect(QRect(0, 0, label->width(), 10000), Qt::TextWordWrap, label->text());
    QVERIFY(needed.width() <= label->width() && needed.height() <= label->height());
    QVERIFY(needed.height() > 5 * label->fontMetrics().lineSpacing());
}

QTEST_MAIN(TestInstructionsPanel)
#include "tst_instructions_panel.moc"
