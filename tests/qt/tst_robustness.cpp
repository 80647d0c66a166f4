// Long use and hostile input through the Qt front end, in process on the offscreen platform.

#include "tests/GuiTestSupport.h"
#include "tests/RosterTable.h"

#include <QFile>
#include <QRegularExpression>

using namespace Qt::Literals::StringLiterals;

namespace {

// Resident memory of this process in KiB.
qint64 residentKiB()
{
    QFile status(u"/proc/self/status"_s);
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QRegularExpression rss(u"^VmRSS:\\s+(\\d+) kB"_s, QRegularExpression::MultilineOption);
    return rss.match(QString::fromLatin1(status.readAll())).captured(1).toLongLong();
}

} // namespace

class TestRobustness : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup() { m_life.reset(); }
    void soak();
    void hostileInput_data();
    void hostileInput();

private:
    QList<TableRow> m_table;
    std::unique_ptr<QtProgram> m_life;
};

void TestRobustness::initTestCase()
{
    frontend::initialiseToolkit();
    silenceOffscreenSizeHintWarnings();
    m_table = readRosterTable();
}

void TestRobustness::init()
{
    m_life = std::make_unique<QtProgram>();
    QVERIFY(QTest::qWaitForWindowExposed(m_life->startUp().form));
}

void TestRobustness::soak()
{
    const QueryWindow w = m_life->query();
    MessageBoxAnswerer answerer;
    constexpr int Queries = 10'000;
    constexpr int WarmUp = 2'000;
    qint64 afterWarmUp = 0;
    for (int i = 0; i < Queries; ++i) {
        if (i == WarmUp)
            afterWarmUp = residentKiB();
        const int row = 1 + (i * 37) % roster::RowCount;
        // Alternating: a correct pair followed by continue, then a wrong pair.
        if (i % 2 == 0) {
            w.Text1(0).setText(m_table[row].id);
            w.Text1(1).setText(m_table[row].ticket);
            w.Command3->click();
            if (w.Text1(2).text() != m_table[row].name || w.Text1(3).text() != m_table[row].score)
                QFAIL(qPrintable(u"query %1: row %2 shown wrongly"_s.arg(i).arg(row)));
            w.Command1->click();
            if (!w.Command3->isVisible() || !w.Text1(0).text().isEmpty())
                QFAIL(qPrintable(u"query %1: continue did not return to entry"_s.arg(i)));
        } else {
            w.Text1(0).setText(m_table[row].id);
            w.Text1(1).setText(m_table[row % roster::RowCount + 1].ticket);
            w.Command3->click();
            if (answerer.seen.size() != 1 || !w.Text1(0).text().isEmpty() || w.Text1(2).isVisible())
                QFAIL(qPrintable(u"query %1: wrong pair not reported"_s.arg(i)));
            answerer.seen.clear(); // the test's own record must not count as the program's memory
        }
    }
    const qint64 growth = residentKiB() - afterWarmUp;
    qInfo("resident memory growth after warm-up: %lld KiB", growth);
    QVERIFY(afterWarmUp > 0);
    QVERIFY2(growth < 1024, qPrintable(u"grew by %1 KiB"_s.arg(growth)));
    QVERIFY(m_life->exitStatuses.isEmpty());
}

void TestRobustness::hostileInput_data()
{
    QTest::addColumn<int>("box");
    QTest::addColumn<QString>("text");

    const QString id = readRosterTable()[1].id;
    const QList<std::pair<const char*, QString>> texts = {
        {"1 MiB", QString(1 << 20, u'9')},
        {"control characters other than line breaks", u"\u0001\u0007\b\t\u001b\u007f"_s + id},
        {"NUL", id + QChar(u'\0')},
        {"unpaired surrogates", u"3408"_s + QChar(0xD800) + u"25"_s + QChar(0xDC00)},
        {"right-to-left marks", u"\u200F"_s + id + u"\u202E"_s},
        {"emoji", u"😀🇨🇳"_s + id},
        {"zero-width space", id.left(6) + u"\u200B"_s + id.mid(6)},
    };
    for (int box : {0, 1})
        for (const auto& [name, text] : texts)
            QTest::addRow("Text1(%d) %s", box, name) << box << text;
}

void TestRobustness::hostileInput()
{
    QFETCH(int, box);
    QFETCH(QString, text);
    const QueryWindow w = m_life->query();
    MessageBoxAnswerer answerer;
    // The other box holds the right half of a real pair, so only the hostile text stands in the way.
    w.Text1(0).setText(m_table[1].id);
    w.Text1(1).setText(m_table[1].ticket);
    w.Text1(box).setText(text);
    QCOMPARE(w.Text1(box).text().size(), text.size());
    w.Command3->click();
    QCOMPARE(answerer.seen.size(), 1);
    QCOMPARE(answerer.seen.first().text, u"身份证号或准考证号错误，请重新输入！"_s);
    QVERIFY(w.Text1(0).text().isEmpty() && w.Text1(1).text().isEmpty());
    QVERIFY(!w.Text1(2).isVisible() && w.Text1(2).text().isEmpty());
    QVERIFY(!w.Text1(3).isVisible() && w.Text1(3).text().isEmpty());
    QVERIFY(m_life->exitStatuses.isEmpty());
}

QTEST_MAIN(TestRobustness)
#include "tst_robustness.moc"
