#pragma once

// The program's window icon, from pixels compiled into the program.

#include <QIcon>

#include <cstdint>

namespace jbx {

// One square rendering of the icon: premultiplied 0xAARRGGBB, row by row.
struct IconRaster {
    int size;
    const std::uint32_t* pixels;
};

// Made at build time from icons/jbxmaker.svg, smallest first.
extern const IconRaster kProgramIconRasters[];
extern const int kProgramIconRasterCount;

// Needs no image plugin and no icon engine, so it is cheap enough to set
// before the first window shows. The Options sheet shows the SVG itself.
QIcon ProgramIcon();

} // namespace jbx
