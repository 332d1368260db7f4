#pragma once

#include "seam/bytes.h"

namespace jbx::testing {

// Passes writes on to target until the failAt-th (counting from 0), which fails, as does every one after it,
// without reaching target: a disk that fills up.
class FailingSink : public ByteSink {
public:
    FailingSink(ByteSink& target, int failAt) : target_(target), failAt_(failAt) {}

    bool write(std::span<const std::uint8_t> bytes) override
    {
        if (writes_++ >= failAt_)
            return false;
        return target_.write(bytes);
    }

private:
    ByteSink& target_;
    int failAt_;
    int writes_ = 0;
};

} // namespace jbx::testing
