// Draws the program icon: 48 x 48 pixels in 256 colours, fully opaque, red characters on a yellow field, the
// county name 翠县 on the upper row and 招聘 on the lower one. Writes it twice into the folder given as argument:
// an indexed PNG (window icon, Linux packages) and an 8-bit ICO (the Windows program file's icon).
//
// Usage: icon_generator <output folder>

#include <QFont>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSaveFile>
#include <QtEndian>

#include <cstdio>
#include <cstdlib>

using namespace Qt::StringLiterals;

namespace {

constexpr int IconSize = 48;
constexpr QRgb Red = qRgb(255, 0, 0);
constexpr QRgb Yellow = qRgb(255, 255, 0);
const QString BaseName = u"cuixian-score-query"_s;

[[noreturn]] void fail(const QString& message)
{
    std::fprintf(stderr, "icon_generator: %s\n", qUtf8Printable(message));
    std::exit(1);
}

// Every shade the painter makes lies on the line from red to yellow, so its green value alone names it: a ramp of
// 256 entries (255, g, 0) holds each anti-aliased shade exactly, with pure red at index 0 and pure yellow at 255.
QList<QRgb> rampPalette()
{
    QList<QRgb> palette;
    for (int green = 0; green < 256; ++green)
        palette.append(qRgb(255, green, 0));
    return palette;
}

QFont characterFont()
{
    QFont font(u"Noto Sans CJK SC"_s);
    font.setPixelSize(24);
    font.setWeight(QFont::Bold);
    font.setStyleStrategy(QFont::PreferAntialias);
    // A silent fallback to another face would change the icon unnoticed.
    const QFontInfo info(font);
    if (info.family() != font.family() || info.weight() < QFont::Bold)
        fail(u"font \"Noto Sans CJK SC\" Bold not found (Debian package fonts-noto-cjk)"_s);
    return font;
}

QImage drawIcon()
{
    QImage canvas(IconSize, IconSize, QImage::Format_RGB32);
    canvas.fill(Yellow);
    {
        QPainter painter(&canvas);
        const QFont font = characterFont();
        painter.setFont(font);
        painter.setPen(Red);
        const QFontMetricsF metrics(font);
        const QString rows[] = {u"翠县"_s, u"招聘"_s};
        for (int row = 0; row < 2; ++row) {
            // Centre the ink, not the line box: the CJK face's tall ascent would push the glyphs to the bottom.
            const QRectF ink = metrics.tightBoundingRect(rows[row]);
            const QPointF cellCentre(IconSize / 2.0, IconSize / 4.0 + row * IconSize / 2.0);
            // Whole-pixel baselines keep the strokes crisp and the output the same on every run.
            const QPoint origin = (cellCentre - ink.center()).toPoint();
            painter.drawText(origin, rows[row]);
        }
    }

    QImage icon(IconSize, IconSize, QImage::Format_Indexed8);
    icon.setColorTable(rampPalette());
    for (int y = 0; y < IconSize; ++y) {
        for (int x = 0; x < IconSize; ++x) {
            const QRgb pixel = canvas.pixel(x, y);
            // Blending may round red or blue by a step; anything further off would mean a different design.
            if (qRed(pixel) < 250 || qBlue(pixel) > 5)
                fail(u"pixel (%1, %2) is not a red-yellow shade"_s.arg(x).arg(y));
            icon.setPixel(x, y, uint(qGreen(pixel)));
        }
    }
    return icon;
}

void appendLe16(QByteArray& out, quint16 value)
{
    char bytes[2];
    qToLittleEndian(value, bytes);
    out.append(bytes, 2);
}

void appendLe32(QByteArray& out, quint32 value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

// Qt's ICO writer stores 32 bits per pixel; the program file's icon is 8 bits per pixel with its palette, so the
// file is written here: ICONDIR, one ICONDIRENTRY, then a BITMAPINFOHEADER, palette, pixel rows and AND mask.
QByteArray icoFile(const QImage& icon)
{
    const QList<QRgb> palette = icon.colorTable();
    const int width = icon.width();
    const int height = icon.height();
    const int pixelStride = (width + 3) / 4 * 4;
    const int maskStride = (width + 31) / 32 * 4;

    QByteArray bitmap;
    appendLe32(bitmap, 40);
    appendLe32(bitmap, quint32(width));
    appendLe32(bitmap, quint32(2 * height)); // pixel rows and mask rows together, as icons require
    appendLe16(bitmap, 1);
    appendLe16(bitmap, 8);
    appendLe32(bitmap, 0); // BI_RGB
    appendLe32(bitmap, quint32((pixelStride + maskStride) * height));
    appendLe32(bitmap, 0);
    appendLe32(bitmap, 0);
    appendLe32(bitmap, 256);
    appendLe32(bitmap, 0);
    for (int i = 0; i < 256; ++i) {
        const QRgb colour = i < palette.size() ? palette[i] : 0;
        bitmap.append(char(qBlue(colour))).append(char(qGreen(colour))).append(char(qRed(colour))).append('\0');
    }
    for (int y = height - 1; y >= 0; --y) { // bottom-up
        const QByteArray row(reinterpret_cast<const char*>(icon.constScanLine(y)), width);
        bitmap.append(row).append(QByteArray(pixelStride - width, '\0'));
    }
    bitmap.append(QByteArray(maskStride * height, '\0')); // all clear: every pixel opaque

    QByteArray file;
    appendLe16(file, 0);
    appendLe16(file, 1); // icon
    appendLe16(file, 1); // one image
    file.append(char(width)).append(char(height));
    file.append('\0'); // 0 means 256 palette colours
    file.append('\0');
    appendLe16(file, 1);
    appendLe16(file, 8);
    appendLe32(file, quint32(bitmap.size()));
    appendLe32(file, 6 + 16);
    return file + bitmap;
}

void writeFile(const QString& path, const QByteArray& contents)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(contents) != contents.size() || !file.commit())
        fail(u"cannot write %1"_s.arg(path));
}

} // namespace

int main(int argc, char** argv)
{
    // Only drawing into images: no display needed.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2)
        fail(u"usage: icon_generator <output folder>"_s);
    const QString folder = QString::fromLocal8Bit(argv[1]);

    const QImage icon = drawIcon();
    const QString pngPath = folder + u'/' + BaseName + u".png"_s;
    if (!icon.save(pngPath, "PNG"))
        fail(u"cannot write %1"_s.arg(pngPath));
    writeFile(folder + u'/' + BaseName + u".ico"_s, icoFile(icon));
    return 0;
}
