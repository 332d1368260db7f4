#include "qt/programicon.h"

#include <QImage>
#include <QPixmap>

namespace jbx {

QIcon ProgramIcon()
{
    QIcon icon;
    for (int i = 0; i < kProgramIconRasterCount; ++i) {
        const IconRaster& raster = kProgramIconRasters[i];
        // QImage only wraps the constant pixels; fromImage copies them.
        const QImage image(reinterpret_cast<const uchar*>(raster.pixels), raster.size, raster.size,
            QImage::Format_ARGB32_Premultiplied);
        icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}

} // namespace jbx
