// TOO::FILENAME: a file path taken apart by text alone (the file system is not
// consulted). Both '\' and '/' separate components; "X:" at the start is a
// drive.
#pragma once

#include "tools2/export.h"
#include "tools2/too_string.h"

#include <string>

namespace TOO {

class TOOLS2_API FILENAME {
 public:
  FILENAME() = default;
  FILENAME(const char* path);  // null = empty
  FILENAME(const std::string& path);
  FILENAME(const CTOOString& path);

  // The folder part WITHOUT a trailing separator, made so that appending a
  // separator and a file name names a file in that folder:
  //   "C:\keys\a.bin" -> "C:\keys"      "/usr/lib/x.so" -> "/usr/lib"
  //   "C:\a.bin"      -> "C:"           "/x.so"         -> ""  (the root)
  //   "C:a.bin"       -> "C:"           "a.bin"         -> "."  (no folder)
  //   "dir//a"        -> "dir"          "dir/"          -> "dir"
  // Repeated separators before the file name are all dropped.
  CTOOString ExtractFilePath() const;
  // The final component: the text after the last separator (or after "X:").
  CTOOString ExtractFileName() const;
  // The extension of the final component, from its last '.' ('.' included);
  // empty when it has none. Dots in folder names do not count.
  CTOOString ExtractFileExt() const;

  FILENAME& operator+=(const char* text);
  FILENAME& operator+=(const CTOOString& text);

  operator const char*() const noexcept { return m_path.c_str(); }
  const CTOOString& Text() const noexcept { return m_path; }

 private:
  CTOOString m_path;
};

}  // namespace TOO
