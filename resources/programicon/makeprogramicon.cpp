// Rasterises the program icon into C++ arrays at the sizes window managers
// ask for. The editor builds its window icon from these pixels directly:
// loading the SVG at start-up would pull in the icon engine and image
// format plugins, which cost more than the rest of the first screen.
//
// With an OUT.ico it writes the Windows editor's icon file instead: one
// PNG image a size, as Windows reads them, committed beside the SVG.
//
// Usage: makeprogramicon ICON.svg OUT.cpp|OUT.ico

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>
#include <iterator>

namespace {

constexpr int kSizes[] = {16, 24, 32, 48, 64, 128};

constexpr int kIconFileSizes[] = {16, 24, 32, 48, 64, 128, 256};

QImage Render(QSvgRenderer& renderer, int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter);
    painter.end();
    return image;
}

void PutLE(QByteArray& out, quint32 value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out += char((value >> (8 * i)) & 0xFF);
}

// ICONDIR, one ICONDIRENTRY a size, then the PNG images.
QByteArray IconFile(QSvgRenderer& renderer)
{
    QList<QByteArray> images;
    for (const int size : kIconFileSizes) {
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        Render(renderer, size).convertToFormat(QImage::Format_ARGB32).save(&buffer, "PNG");
        images.append(png);
    }
    QByteArray file;
    PutLE(file, 0, 2);
    PutLE(file, 1, 2);   // an icon
    PutLE(file, quint32(images.size()), 2);
    quint32 offset = 6 + 16 * quint32(images.size());
    for (int i = 0; i < images.size(); ++i) {
        const int size = kIconFileSizes[i];
        file += char(size >= 256 ? 0 : size);   // 0 stands for 256
        file += char(size >= 256 ? 0 : size);
        file += char(0);                        // no palette
        file += char(0);
        PutLE(file, 1, 2);                      // planes
        PutLE(file, 32, 2);                     // bits per pixel
        PutLE(file, quint32(images[i].size()), 4);
        PutLE(file, offset, 4);
        offset += quint32(images[i].size());
    }
    for (const QByteArray& png : images)
        file += png;
    return file;
}

QByteArray Raster(QSvgRenderer& renderer, int size, const char* name)
{
    const QImage image = Render(renderer, size);

    QByteArray text = QByteArray("const std::uint32_t ") + name + "[] = {";
    for (int y = 0; y < size; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < size; ++x) {
            text += (x % 8 == 0) ? "\n    " : " ";
            text += "0x" + QByteArray::number(line[x], 16).rightJustified(8, '0') + "u,";
        }
    }
    text += "\n};\n\n";
    return text;
}

QByteArray SourceFile(QSvgRenderer& renderer)
{
    QByteArray text = "// Made by makeprogramicon from the program icon; do not edit.\n\n"
                      "#include \"qt/programicon.h\"\n\nnamespace jbx {\nnamespace {\n\n";
    QByteArray entries = "} // namespace\n\nextern const IconRaster kProgramIconRasters[] = {\n";
    for (const int size : kSizes) {
        const QByteArray name = "kPixels" + QByteArray::number(size);
        text += Raster(renderer, size, name.constData());
        entries += "    {" + QByteArray::number(size) + ", " + name + "},\n";
    }
    return text + entries + "};\nextern const int kProgramIconRasterCount = "
        + QByteArray::number(int(std::size(kSizes))) + ";\n\n} // namespace jbx\n";
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: makeprogramicon ICON.svg OUT.cpp|OUT.ico\n");
        return 2;
    }
    QSvgRenderer renderer{QString::fromLocal8Bit(argv[1])};
    if (!renderer.isValid()) {
        std::fprintf(stderr, "makeprogramicon: cannot read %s\n", argv[1]);
        return 1;
    }

    QByteArray text = QByteArray(argv[2]).endsWith(".ico") ? IconFile(renderer) : SourceFile(renderer);

    QFile out(QString::fromLocal8Bit(argv[2]));
    if (!out.open(QIODevice::WriteOnly) || out.write(text) != text.size()) {
        std::fprintf(stderr, "makeprogramicon: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
