#include "wide_path.h"

#include "kdplatform/ansi_text.h"
#include "kdplatform/native_path.h"

namespace nodyx {

bool WidePathToNative(LPCOLESTR wide, std::string* native) {
  std::string ansi;
  return kdp::WideToAnsi(wide, -1, &ansi) == 0 && kdp::ToNativePath(ansi.c_str(), native);
}

}  // namespace nodyx
