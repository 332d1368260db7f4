// Rasterises the program icon into C++ arrays at the sizes window managers
// ask for. The editor builds its window icon from these pixels directly:
// loading the SVG at start-up would pull in the icon engine and image
// format plugins, which cost more than the rest of the first screen.
//
// Usage: makeprogramicon ICON.svg OUT.cpp

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>
#include <iterator>

namespace {

constexpr int kSizes[] = {16, 24, 32, 48, 64, 128};

QByteArray Raster(QSvgRenderer& renderer, int size, const char* name)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter);
    painter.end();

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

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: makeprogramicon ICON.svg OUT.cpp\n");
        return 2;
    }
    QSvgRenderer renderer{QString::fromLocal8Bit(argv[1])};
    if (!renderer.isValid()) {
        std::fprintf(stderr, "makeprogramicon: cannot read %s\n", argv[1]);
        return 1;
    }

    QByteArray text = "// Made by makeprogramicon from the program icon; do not edit.\n\n"
                      "#include \"qt/programicon.h\"\n\nnamespace jbx {\nnamespace {\n\n";
    QByteArray entries = "} // namespace\n\nextern const IconRaster kProgramIconRasters[] = {\n";
    for (const int size : kSizes) {
        const QByteArray name = "kPixels" + QByteArray::number(size);
        text += Raster(renderer, size, name.constData());
        entries += "    {" + QByteArray::number(size) + ", " + name + "},\n";
    }
    text += entries + "};\nextern const int kProgramIconRasterCount = "
        + QByteArray::number(int(std::size(kSizes))) + ";\n\n} // namespace jbx\n";

    QFile out(QString::fromLocal8Bit(argv[2]));
    if (!out.open(QIODevice::WriteOnly) || out.write(text) != text.size()) {
        std::fprintf(stderr, "makeprogramicon: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
