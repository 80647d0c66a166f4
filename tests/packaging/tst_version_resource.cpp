// The program's metadata as the outside world sees it: the Windows version record (configured from
// resources/version.rc.in exactly as a Windows build compiles it), the program file's ICO, and the icon built into
// the program. The record is read back as text and compared with what the running program reports about itself.

#include "shell/Program.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QTest>
#include <QtEndian>

using namespace Qt::StringLiterals;

namespace {

const QString Title = u"2018年翠县一中西校区公开招聘教师笔试成绩查询软件"_s;
constexpr QRgb Red = qRgb(255, 0, 0);
constexpr QRgb Yellow = qRgb(255, 255, 0);

// What a resource compiler would take from the file, reduced to the parts the metadata lives in.
struct VersionResource {
    QString firstLine;
    QString iconId;
    QString iconFile;
    QString fileVersion;      // numeric, as "a,b,c,d"
    QString productVersion;   // numeric, as "a,b,c,d"
    QStringList stringTables; // block names under StringFileInfo
    // Keyed by block path and name, e.g. "StringFileInfo/080404B0/CompanyName" or "VarFileInfo/Translation".
    QMap<QString, QString> values;
    QString error;
};

QString withoutSpaces(QString text)
{
    return text.remove(QRegularExpression(u"\\s+"_s));
}

VersionResource parseVersionResource(const QString& text)
{
    VersionResource rc;
    const QStringList lines = text.split(u'\n');
    rc.firstLine = lines.value(0).trimmed();

    static const QRegularExpression iconLine(uR"re(^(\w+)\s+ICON\s+"([^"]*)"$)re"_s);
    static const QRegularExpression numericLine(uR"re(^(FILEVERSION|PRODUCTVERSION)\s+(.+)$)re"_s);
    static const QRegularExpression blockLine(uR"re(^BLOCK\s+"([^"]*)"$)re"_s);
    static const QRegularExpression valueLine(uR"re(^VALUE\s+"([^"]*)"\s*,\s*(.+)$)re"_s);
    static const QRegularExpression quoted(uR"re(^"([^"]*)"$)re"_s);

    QStringList open; // the BLOCKs we are inside of
    QString pendingBlock;
    bool inVersionInfo = false;
    for (const QString& raw : lines) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(u"//") || line.startsWith(u'#'))
            continue;
        if (const auto m = iconLine.match(line); m.hasMatch()) {
            rc.iconId = m.captured(1);
            rc.iconFile = m.captured(2);
        } else if (const auto m = numericLine.match(line); m.hasMatch()) {
            (m.captured(1) == u"FILEVERSION" ? rc.fileVersion : rc.productVersion) = withoutSpaces(m.captured(2));
        } else if (const auto m = blockLine.match(line); m.hasMatch()) {
            pendingBlock = m.captured(1);
        } else if (line == u"BEGIN") {
            if (!inVersionInfo) {
                inVersionInfo = true; // the VERSIONINFO statement's own BEGIN
                continue;
            }
            if (pendingBlock.isNull()) {
                rc.error = u"BEGIN without BLOCK"_s;
                return rc;
            }
            if (open == QStringList{u"StringFileInfo"_s})
                rc.stringTables.append(pendingBlock);
            open.append(pendingBlock);
            pendingBlock = QString();
        } else if (line == u"END") {
            if (!open.isEmpty())
                open.removeLast();
        } else if (const auto m = valueLine.match(line); m.hasMatch()) {
            const auto q = quoted.match(m.captured(2));
            const QString value = q.hasMatch() ? q.captured(1) : withoutSpaces(m.captured(2));
            rc.values.insert(open.join(u'/') + u'/' + m.captured(1), value);
        }
    }
    if (!open.isEmpty())
        rc.error = u"unbalanced BEGIN/END"_s;
    return rc;
}

// "1.00" is 1,0,0,0 in the record's numeric fields.
QString numericVersion(const QString& version)
{
    QStringList parts;
    for (const QString& part : version.split(u'.'))
        parts.append(QString::number(part.toInt()));
    while (parts.size() < 4)
        parts.append(u"0"_s);
    return parts.join(u',');
}

struct Ico {
    int width = -1;
    int height = -1;
    int bitsPerPixel = -1;
    QImage image; // decoded from the file's own palette and rows
    bool maskClear = false;
    QString error;
};

// Reads a single-image 8-bit ICO by its layout, so that the check does not depend on an image plugin.
Ico readIco(const QByteArray& file)
{
    Ico ico;
    const auto u16 = [&](qsizetype at) {
        return int(qFromLittleEndian<quint16>(file.constData() + at));
    };
    const auto u32 = [&](qsizetype at) {
        return qint64(qFromLittleEndian<quint32>(file.constData() + at));
    };
    if (file.size() < 6 + 16 || u16(0) != 0 || u16(2) != 1 || u16(4) != 1) {
        ico.error = u"not an ICO with exactly one image"_s;
        return ico;
    }
    const int entryWidth = quint8(file[6]) == 0 ? 256 : quint8(file[6]);
    const int entryHeight = quint8(file[7]) == 0 ? 256 : quint8(file[7]);
    const int entryBits = u16(6 + 6);
    const qint64 size = u32(6 + 8);
    const qint64 offset = u32(6 + 12);
    if (offset + size != file.size() || size < 40) {
        ico.error = u"image entry does not span the rest of the file"_s;
        return ico;
    }
    const qint64 header = offset;
    if (u32(header) != 40 || u16(header + 14) != entryBits || u32(header + 16) != 0) {
        ico.error = u"image is not an uncompressed bitmap matching its directory entry"_s;
        return ico;
    }
    ico.width = int(u32(header + 4));
    ico.height = int(u32(header + 8)) / 2; // pixel rows and mask rows
    ico.bitsPerPixel = entryBits;
    if (ico.width != entryWidth || ico.height != entryHeight) {
        ico.error = u"directory entry and bitmap disagree on the size"_s;
        return ico;
    }
    if (ico.bitsPerPixel != 8)
        return ico;

    const qint64 colours = u32(header + 32) == 0 ? 256 : u32(header + 32);
    const qint64 palette = header + 40;
    const qint64 pixels = palette + 4 * colours;
    const int pixelStride = (ico.width + 3) / 4 * 4;
    const int maskStride = (ico.width + 31) / 32 * 4;
    const qint64 mask = pixels + qint64(pixelStride) * ico.height;
    if (mask + qint64(maskStride) * ico.height != file.size()) {
        ico.error = u"pixel and mask rows do not fill the image"_s;
        return ico;
    }
    ico.image = QImage(ico.width, ico.height, QImage::Format_RGB32);
    for (int y = 0; y < ico.height; ++y) {
        const qint64 row = pixels + qint64(ico.height - 1 - y) * pixelStride; // bottom-up
        for (int x = 0; x < ico.width; ++x) {
            const qint64 entry = palette + 4 * quint8(file[row + x]);
            ico.image.setPixel(x, y, qRgb(quint8(file[entry + 2]), quint8(file[entry + 1]), quint8(file[entry])));
        }
    }
    const QByteArray maskBytes = file.mid(mask);
    ico.maskClear = maskBytes.count('\0') == maskBytes.size();
    return ico;
}

} // namespace

class TestVersionResource : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void utf8WithCodePage();
    void languageAndCodePage();
    void stringValues_data();
    void stringValues();
    void numericVersions();
    void titleFields();
    void programFileIcon();
    void embeddedIcon();

private:
    VersionResource m_rc;
    QString m_rcText;
    QByteArray m_rcBytes;
};

void TestVersionResource::initTestCase()
{
    // Whatever the process started with, the program's own metadata has to come from the shell.
    QCoreApplication::setApplicationName(u"placeholder"_s);
    QCoreApplication::setApplicationVersion(u"0"_s);
    QCoreApplication::setOrganizationName(u"placeholder"_s);
    shell::setApplicationMetadata();

    QFile file(QStringLiteral(VERSION_RC_PATH));
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
    m_rcBytes = file.readAll();
    auto decode = QStringDecoder(QStringDecoder::Utf8);
    m_rcText = decode(m_rcBytes);
    QVERIFY2(!decode.hasError(), "version.rc is not valid UTF-8");
    m_rc = parseVersionResource(m_rcText);
    QVERIFY2(m_rc.error.isEmpty(), qPrintable(m_rc.error));
}

void TestVersionResource::utf8WithCodePage()
{
    // Without the pragma first, the resource compiler reads the Chinese strings in the build machine's ANSI page.
    QCOMPARE(m_rc.firstLine, u"#pragma code_page(65001)"_s);
    QVERIFY(!m_rcBytes.startsWith("\xEF\xBB\xBF"));
}

void TestVersionResource::languageAndCodePage()
{
    QCOMPARE(m_rc.stringTables, QStringList{u"080404B0"_s});
    const QString translation = m_rc.values.value(u"VarFileInfo/Translation"_s);
    const QStringList pair = translation.split(u',');
    QCOMPARE(pair.size(), 2);
    bool languageOk = false;
    bool codePageOk = false;
    const int language = pair[0].toInt(&languageOk, 0);
    const int codePage = pair[1].toInt(&codePageOk, 0);
    QVERIFY(languageOk && codePageOk);
    QCOMPARE(language, 0x0804); // Chinese (PRC)
    QCOMPARE(codePage, 1200);   // UTF-16
    // The string table is named after the same pair; a mismatch hides the strings from the file's properties.
    QCOMPARE(m_rc.stringTables.value(0),
             u"%1%2"_s.arg(language, 4, 16, QChar(u'0')).arg(codePage, 4, 16, QChar(u'0')).toUpper());
}

void TestVersionResource::stringValues_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("reported");
    QTest::addColumn<QString>("expected");
    QTest::newRow("CompanyName") << u"CompanyName"_s << QCoreApplication::organizationName() << u"China"_s;
    QTest::newRow("ProductName") << u"ProductName"_s << QCoreApplication::applicationName() << u"工程1"_s;
    QTest::newRow("FileVersion") << u"FileVersion"_s << QCoreApplication::applicationVersion() << u"1.00"_s;
    QTest::newRow("ProductVersion") << u"ProductVersion"_s << QCoreApplication::applicationVersion() << u"1.00"_s;
}

void TestVersionResource::stringValues()
{
    QFETCH(QString, name);
    QFETCH(QString, reported);
    QFETCH(QString, expected);
    const QString key = u"StringFileInfo/080404B0/"_s + name;
    QVERIFY2(m_rc.values.contains(key), qPrintable(key));
    QCOMPARE(m_rc.values.value(key), reported);
    QCOMPARE(m_rc.values.value(key), expected);
}

void TestVersionResource::numericVersions()
{
    const QString numeric = numericVersion(QCoreApplication::applicationVersion());
    QCOMPARE(numeric, u"1,0,0,0"_s);
    QCOMPARE(m_rc.fileVersion, numeric);
    QCOMPARE(m_rc.productVersion, numeric);
}

void TestVersionResource::titleFields()
{
    QCOMPARE(m_rc.values.value(u"StringFileInfo/080404B0/InternalName"_s), Title + u'3');
    QCOMPARE(m_rc.values.value(u"StringFileInfo/080404B0/FileDescription"_s), Title);
    QCOMPARE(m_rc.values.value(u"StringFileInfo/080404B0/OriginalFilename"_s), u"cuixian-score-query.exe"_s);
}

void TestVersionResource::programFileIcon()
{
    QCOMPARE(m_rc.iconId, u"IDI_ICON1"_s);
    QVERIFY2(m_rc.iconFile.endsWith(u".ico"), qPrintable(m_rc.iconFile));
    QFile file(m_rc.iconFile);
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(m_rc.iconFile));
    const Ico ico = readIco(file.readAll());
    QVERIFY2(ico.error.isEmpty(), qPrintable(ico.error));
    QCOMPARE(ico.width, 48);
    QCOMPARE(ico.height, 48);
    QCOMPARE(ico.bitsPerPixel, 8);
    QVERIFY2(ico.maskClear, "the AND mask makes pixels transparent");

    // The program file shows the same picture as the window.
    const QImage window = QImage(u":/icons/cuixian-score-query.png"_s).convertToFormat(QImage::Format_RGB32);
    QCOMPARE(window.size(), ico.image.size());
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 48; ++x)
            QVERIFY2(ico.image.pixel(x, y) == window.pixel(x, y), qPrintable(u"pixel (%1, %2)"_s.arg(x).arg(y)));
}

void TestVersionResource::embeddedIcon()
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

QTEST_MAIN(TestVersionResource)
#include "tst_version_resource.moc"
