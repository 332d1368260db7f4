// Copies one file to another through the nothing-lost writer, for a test that
// runs it under strace to make one system call fail: the first byte goes
// through the stream, the rest is copied file to file. The exit status is
// the WriteFileResult, or 100 when the input cannot be read.

#include "seam/filesystem.h"

#include <cstdint>

int main(int argc, char** argv)
{
    if (argc != 3)
        return 100;
    const auto input = jbx::InputFile::open(argv[1]);
    std::uint8_t first = 0;
    if (!input || input->read(&first, 1) != 1)
        return 100;
    return int(jbx::WriteFileSafely(argv[2], [&](jbx::ByteSink& sink) {
        return sink.write({&first, 1}) && input->copyTo(sink, 1, input->size() - 1);
    }));
}
