#include "wide_path.h"

#include "kdplatform/ansi_text.h"
#include "kdplatform/native_path.h"

namespace nodyx {

bool WidePathToNative(LPCOLESTR wide, std::string* native) {
  // A path on a drive that has no root goes no further, unconverted: every
  // identifier conversion of the library loads such a file ("c:\absent_file").
  const bool letter = (wide[0] >= L'A' && wide[0] <= L'Z') || (wide[0] >= L'a' && wide[0] <= L'z');
  if (letter && wide[1] == L':') {
    const char drive[] = {static_cast<char>(wide[0]), ':', '\0'};
    std::string root;
    if (!kdp::ToNativePath(drive, &root)) return false;
  }
  std::string ansi;
  return kdp::WideToAnsi(wide, -1, &ansi) == 0 && kdp::ToNativePath(ansi.c_str(), native);
}

}  // namespace nodyx
