// The program's metadata as the outside world sees it: the Windows version record and program-file icon, as the
// MinGW resource compiler compiles them from the configured resources/version.rc.in, and the icon built into the
// program. The compiled record is read back and compared with what the running program reports about itself.

#include "core/shell/AppInfo.h"

#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QTest>
#include <QtEndian>
#include <utility>

using namespace Qt::StringLiterals;

namespace {

const QString Title = u"2018年翠县一中西校区公开招聘教师笔试成绩查询软件"_s;
constexpr QRgb Red = qRgb(255, 0, 0);
constexpr QRgb Yellow = qRgb(255, 255, 0);

// RT_ICON, RT_GROUP_ICON and RT_VERSION.
constexpr quint16 IconType = 3;
constexpr quint16 GroupIconType = 14;
constexpr quint16 VersionType = 16;

quint16 u16(const QByteArray& bytes, qsizetype at)
{
    return qFromLittleEndian<quint16>(bytes.constData() + at);
}

quint32 u32(const QByteArray& bytes, qsizetype at)
{
    return qFromLittleEndian<quint32>(bytes.constData() + at);
}

qsizetype alignedTo4(qsizetype at)
{
    return (at + 3) & ~qsizetype(3);
}

// A zero-terminated UTF-16 string at `at`; `end` is left just past its terminator, or at -1 if it has none.
QString utf16At(const QByteArray& bytes, qsizetype at, qsizetype limit, qsizetype& end)
{
    QString text;
    for (end = at; end + 2 <= limit; end += 2) {
        const char16_t unit = u16(bytes, end);
        if (unit == 0) {
            end += 2;
            return text;
        }
        text.append(QChar(unit));
    }
    end = -1;
    return text;
}

// One entry of a compiled .res file. A type or name is a number or, for named entries, a string.
struct Resource {
    quint16 typeId = 0;
    QString typeName;
    quint16 nameId = 0;
    QString name;
    QByteArray data;
};

// The .res file is a row of entries: a header (data size, header size, type, name, flags, language) and the data,
// each aligned to four bytes; the first entry is an empty one that marks the format.
QList<Resource> readRes(const QByteArray& file, QString& error)
{
    QList<Resource> resources;
    for (qsizetype at = 0; at < file.size();) {
        if (at + 8 > file.size()) {
            error = u"truncated entry header at %1"_s.arg(at);
            return {};
        }
        const qsizetype dataSize = u32(file, at);
        const qsizetype headerSize = u32(file, at + 4);
        const qsizetype limit = at + headerSize;
        if (headerSize < 32 || limit + dataSize > file.size()) {
            error = u"entry at %1 runs past the end of the file"_s.arg(at);
            return {};
        }
        Resource resource;
        qsizetype field = at + 8;
        const std::pair<quint16*, QString*> typeAndName[] = {{&resource.typeId, &resource.typeName},
                                                             {&resource.nameId, &resource.name}};
        for (auto [id, name] : typeAndName) {
            if (field + 4 > limit) {
                error = u"entry header at %1 too short for its type and name"_s.arg(at);
                return {};
            }
            if (u16(file, field) == 0xFFFF) {
                *id = u16(file, field + 2);
                field += 4;
            } else {
                *name = utf16At(file, field, limit, field);
                if (field < 0) {
                    error = u"unterminated name in the entry at %1"_s.arg(at);
                    return {};
                }
            }
        }
        resource.data = file.mid(limit, dataSize);
        if (dataSize != 0 || resource.typeId != 0)
            resources.append(resource);
        at = alignedTo4(limit + dataSize);
    }
    return resources;
}

// One block of the version record: a key, a value (binary, or text in UTF-16) and the blocks inside it.
struct VersionBlock {
    QString key;
    QByteArray value;
    QString text;
    QList<VersionBlock> children;

    const VersionBlock* child(const QString& childKey) const
    {
        for (const VersionBlock& block : children)
            if (block.key == childKey)
                return &block;
        return nullptr;
    }
};

// Each block: its length, its value's length (in characters for text), its type (1 = text), the key, the value
// and the child blocks, every part aligned to four bytes.
bool readVersionBlock(const QByteArray& data, qsizetype at, VersionBlock& block, QString& error)
{
    if (at + 6 > data.size() || u16(data, at) < 6 || at + u16(data, at) > data.size()) {
        error = u"block at %1 runs past the record"_s.arg(at);
        return false;
    }
    const qsizetype end = at + u16(data, at);
    const qsizetype valueLength = u16(data, at + 2);
    const bool isText = u16(data, at + 4) == 1;
    qsizetype field = 0;
    block.key = utf16At(data, at + 6, end, field);
    if (field < 0) {
        error = u"unterminated key at %1"_s.arg(at);
        return false;
    }
    field = alignedTo4(field);
    const qsizetype valueBytes = isText ? 2 * valueLength : valueLength;
    if (field + valueBytes > end) {
        error = u"value of %1 runs past its block"_s.arg(block.key);
        return false;
    }
    block.value = data.mid(field, valueBytes);
    if (isText) {
        qsizetype textEnd = 0;
        block.text = utf16At(data, field, field + valueBytes, textEnd);
    }
    for (qsizetype child = alignedTo4(field + valueBytes); child < end;) {
        VersionBlock& inner = block.children.emplace_back();
        if (!readVersionBlock(data, child, inner, error))
            return false;
        child = alignedTo4(child + u16(data, child));
    }
    return true;
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
    void fixedVersions();
    void languageAndCodePage();
    void stringValues_data();
    void stringValues();
    void titleFields();
    void programFileIcon();
    void embeddedIcon();

private:
    const Resource* find(quint16 typeId, quint16 nameId, const QString& name = {}) const;

    QList<Resource> m_resources;
    VersionBlock m_version;
    const VersionBlock* m_strings = nullptr;
};

const Resource* TestVersionResource::find(quint16 typeId, quint16 nameId, const QString& name) const
{
    for (const Resource& resource : m_resources)
        if (resource.typeId == typeId && resource.nameId == nameId && resource.name == name)
            return &resource;
    return nullptr;
}

void TestVersionResource::initTestCase()
{
    // Whatever the process started with, the program's own metadata has to come from the shell.
    QCoreApplication::setApplicationName(u"placeholder"_s);
    QCoreApplication::setApplicationVersion(u"0"_s);
    QCoreApplication::setOrganizationName(u"placeholder"_s);
    QCoreApplication::setApplicationName(QString::fromUtf16(shell::appinfo::Name));
    QCoreApplication::setApplicationVersion(QString::fromUtf16(shell::appinfo::Version));
    QCoreApplication::setOrganizationName(QString::fromUtf16(shell::appinfo::Organization));

    // Compiled by the MinGW resource compiler at build time from the configured version.rc.
    QFile file(QStringLiteral(VERSION_RES_PATH));
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
    QString error;
    m_resources = readRes(file.readAll(), error);
    QVERIFY2(error.isEmpty(), qPrintable(error));

    const Resource* version = find(VersionType, 1); // VS_VERSION_INFO
    QVERIFY2(version, "no version record");
    QVERIFY2(readVersionBlock(version->data, 0, m_version, error), qPrintable(error));
    QCOMPARE(m_version.key, u"VS_VERSION_INFO"_s);
    const VersionBlock* stringFileInfo = m_version.child(u"StringFileInfo"_s);
    QVERIFY(stringFileInfo);
    QCOMPARE(stringFileInfo->children.size(), 1);
    m_strings = &stringFileInfo->children.first();
}

void TestVersionResource::fixedVersions()
{
    // VS_FIXEDFILEINFO: signature, structure version, then file and product version as two 32-bit halves each.
    const QByteArray& fixed = m_version.value;
    QCOMPARE(fixed.size(), 52);
    QCOMPARE(u32(fixed, 0), 0xFEEF04BDu);
    const QStringList parts = QCoreApplication::applicationVersion().split(u'.');
    QCOMPARE(parts.size(), 2);
    const quint32 versionHigh = parts[0].toUInt() << 16 | parts[1].toUInt(); // "1.00" is 1,0,0,0
    QCOMPARE(versionHigh, 0x00010000u);
    QCOMPARE(u32(fixed, 8), versionHigh);
    QCOMPARE(u32(fixed, 12), 0u);
    QCOMPARE(u32(fixed, 16), versionHigh);
    QCOMPARE(u32(fixed, 20), 0u);
}

void TestVersionResource::languageAndCodePage()
{
    const VersionBlock* varFileInfo = m_version.child(u"VarFileInfo"_s);
    QVERIFY(varFileInfo);
    const VersionBlock* translation = varFileInfo->child(u"Translation"_s);
    QVERIFY(translation);
    QCOMPARE(translation->value.size(), 4);
    const quint16 language = u16(translation->value, 0);
    const quint16 codePage = u16(translation->value, 2);
    QCOMPARE(language, 0x0804); // Chinese (PRC)
    QCOMPARE(codePage, 1200);   // UTF-16
    // The string table is named after the same pair; a mismatch hides the strings from the file's properties.
    QCOMPARE(m_strings->key, u"%1%2"_s.arg(language, 4, 16, QChar(u'0')).arg(codePage, 4, 16, QChar(u'0')).toUpper());
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
    const VersionBlock* value = m_strings->child(name);
    QVERIFY2(value, qPrintable(name));
    QCOMPARE(value->text, reported);
    QCOMPARE(value->text, expected);
}

void TestVersionResource::titleFields()
{
    const auto text = [this](const QString& name) {
        const VersionBlock* value = m_strings->child(name);
        return value ? value->text : QString();
    };
    QCOMPARE(text(u"InternalName"_s), Title + u'3');
    QCOMPARE(text(u"FileDescription"_s), Title);
    QCOMPARE(text(u"OriginalFilename"_s), u"cuixian-score-query.exe"_s);
}

void TestVersionResource::programFileIcon()
{
    // Qt's name for the program icon; Windows shows the group that sorts first, and named groups precede numbered.
    const Resource* group = find(GroupIconType, 0, u"IDI_ICON1"_s);
    QVERIFY2(group, "no icon group IDI_ICON1");
    // The group: reserved, type 1 (icon), count, then per image the ICO directory entry with the image's id in
    // place of its file offset.
    const QByteArray& directory = group->data;
    QCOMPARE(directory.size(), 6 + 14);
    QCOMPARE(u16(directory, 4), 1);
    const Resource* image = find(IconType, u16(directory, 6 + 12));
    QVERIFY2(image, "the group's image is missing");

    // Put the ICO file back together from the compiled parts, and read it as the program file's icon.
    QByteArray ico = directory.left(6 + 12);
    ico.append(char(22)).append(3, '\0'); // the image follows the header and the one entry
    ico.append(image->data);
    const Ico icon = readIco(ico);
    QVERIFY2(icon.error.isEmpty(), qPrintable(icon.error));
    QCOMPARE(icon.width, 48);
    QCOMPARE(icon.height, 48);
    QCOMPARE(icon.bitsPerPixel, 8);
    QVERIFY2(icon.maskClear, "the AND mask makes pixels transparent");

    // The program file shows the same picture as the window.
    const QImage window = QImage(u":/icons/cuixian-score-query.png"_s).convertToFormat(QImage::Format_RGB32);
    QCOMPARE(window.size(), icon.image.size());
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 48; ++x)
            QVERIFY2(icon.image.pixel(x, y) == window.pixel(x, y), qPrintable(u"pixel (%1, %2)"_s.arg(x).arg(y)));
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
