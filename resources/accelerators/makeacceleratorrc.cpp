// Writes the main window's accelerator table as a resource-script fragment,
// for the Windows editor's script to #include, so that its keys come from
// the same table as the Qt editor's.
//
// Usage: makeacceleratorrc OUT.rc

#include "app/accelerators.h"

#include <cstdio>
#include <fstream>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: makeacceleratorrc OUT.rc\n");
        return 2;
    }
    const std::string script = jbx::AcceleratorResourceScript();
    std::ofstream out(argv[1], std::ios::binary);
    out.write(script.data(), std::streamsize(script.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "makeacceleratorrc: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
