#include "qt/groupboxframe.h"

#include <QApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QPixmapCache>
#include <QStyle>

#include <cstddef>

namespace jbx {

namespace {

constexpr char kFusionFrameImage[] = ":/qt-project.org/styles/commonstyle/images/fusion_groupbox.png";

// An integer as QPixmap::load writes it into a cache key: each byte in
// memory order, low hex digit first.
template <typename Integer>
QString KeyDigits(Integer value)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    const auto* bytes = reinterpret_cast<const unsigned char*>(&value);
    QString digits;
    for (std::size_t i = 0; i < sizeof value; ++i) {
        digits += QLatin1Char(kDigits[bytes[i] & 0xf]);
        digits += QLatin1Char(kDigits[bytes[i] >> 4]);
    }
    return digits;
}

// The key under which QPixmap::load keeps a file's pixmap: the path, the
// file's time and size and the pixmap type (0 for a QPixmap made from a file
// name).
QString LoadedPixmapKey(const QFileInfo& file)
{
    return QStringLiteral("qt_pixmap") + file.absoluteFilePath()
        + KeyDigits(uint(file.lastModified().toSecsSinceEpoch())) + KeyDigits(quint64(file.size()))
        + KeyDigits(uint(0));
}

} // namespace

// Fusion loads the frame by file name at the first paint of a group box, and
// an image read by file name has every image format plugin loaded and asked
// whether it reads PNG before Qt's own reader gets it: the plugins and the
// libraries they pull in (an SVG renderer, a JPEG decoder, more on a desktop
// with extra formats installed) were the largest single part of what the main
// window's first paint cost beyond a plain window's. Read as PNG with
// detection off, the same image takes Qt's reader alone. A Qt that keys its
// cache otherwise loads the frame itself, as before.
QPixmap CacheGroupBoxFrame()
{
    if (QApplication::style()->name() != QLatin1String("fusion"))
        return {};
    const QString key = LoadedPixmapKey(QFileInfo(QString::fromLatin1(kFusionFrameImage)));
    QPixmap frame;
    if (QPixmapCache::find(key, &frame))
        return {};
    QImageReader reader(QString::fromLatin1(kFusionFrameImage), "png");
    reader.setAutoDetectImageFormat(false);
    frame = QPixmap::fromImage(reader.read());
    if (!frame.isNull())
        QPixmapCache::insert(key, frame);
    return frame;
}

} // namespace jbx
