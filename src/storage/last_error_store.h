// The process-wide last-error store that KDPGetLastError reads: one int, 0
// when the library is loaded. Written by the storage and storage-path
// functions; one value for all threads (callers read it right after the
// failing call).
#pragma once

namespace keydepot {

void SetLastErrorStore(int code) noexcept;
int LastErrorStore() noexcept;

}  // namespace keydepot
