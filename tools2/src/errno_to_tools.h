// The toolkit code for a failed system call's errno.
#pragma once

namespace tools2_detail {

int ErrnoToToolsErr(int error) noexcept;

}  // namespace tools2_detail
