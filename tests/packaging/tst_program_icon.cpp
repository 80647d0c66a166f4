// The icon built into the program: the picture the window shows, two red characters on each of two rows on yellow.
// The Windows program file's icon is read back from the .exe under Wine (version_record.py).

#include <QImage>
#include <QImageReader>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

constexpr QRgb Red = qRgb(255, 0, 0);
constexpr QRgb Yellow = qRgb(255, 255, 0);

} // namespace

class TestProgramIcon : public QObject {
    Q_OBJECT

private slots:
    void embeddedIcon();
};

void TestProgramIcon::embeddedIcon()
{
    QImageReader reader(u":/icons/cuixian-score-query.png"_s);
    const QImage icon = reader.read();
    QVERIFY2(!icon.isNull(), qPrintable(reader.errorString()));
    QCOMPARE(icon.size(), QSize(48, 48));
    QCOMPARE(icon.format(), QImage::Format_Indexed8);
    QVERIFY(icon.colorCount() <= 256);

    // Red strokes in every quarter: two characters on each of the two rows.
    int redPerQuarter[2][2] = {};
    bool yellowSeen = false;
    for (int y = 0; y < 48; ++y) {
        for (int x = 0; x < 48; ++x) {
            const QRgb pixel = icon.pixel(x, y);
            QVERIFY2(qAlpha(pixel) == 255, qPrintable(u"pixel (%1, %2) is not opaque"_s.arg(x).arg(y)));
            if (pixel == Red)
                ++redPerQuarter[y / 24][x / 24];
            yellowSeen = yellowSeen || pixel == Yellow;
        }
    }
    QVERIFY(yellowSeen);
    for (int row = 0; row < 2; ++row)
        for (int column = 0; column < 2; ++column)
            QVERIFY2(redPerQuarter[row][column] >= 40,
                     qPrintable(
                         u"quarter (%1, %2) has %3 red pixels"_s.arg(row).arg(column).arg(redPerQuarter[row][column])));
    for (const QPoint corner : {QPoint(0, 0), QPoint(47, 0), QPoint(0, 47), QPoint(47, 47)})
        QCOMPARE(icon.pixel(corner), Yellow);
}

QTEST_MAIN(TestProgramIcon)
#include "tst_program_icon.moc"
