#include "tools2/errors.h"

#include <kdplatform/win32.h>

#include <cstdint>
#include <cstdio>
#include <iterator>

namespace {

struct OwnCode {
  int code;
  std::uint32_t win;
  const char* text;
};

// Own codes and their Win32 counterparts; both columns must stay distinct and
// within 1..0xFFFF, or the conversions stop being inverse.
constexpr OwnCode kOwnCodes[] = {
    {TOOERR_FILE_MISSING, 2u, "file missing"},
    {TOOERR_SHORT_READ, 30u, "short read"},
    {TOOERR_SHORT_WRITE, 29u, "short write"},
    {TOOERR_NO_ROOM, 112u, "too little room"},
    {TOOERR_OPEN_FAILED, 110u, "file cannot be opened"},
    {TOOERR_NO_SESSION, 1312u, "no usable session"},
    {TOOERR_FOLDER_NOT_CREATED, 82u, "folder cannot be created"},
    {TOOERR_NOT_OFFERED, 50u, "operation not offered"},
    {TOOERR_RECORD_READ_NOT_OFFERED, 120u, "record read not offered"},
};

constexpr std::uint32_t kWinBase = 0x10000u;

const OwnCode* ByCode(std::uint32_t code) {
  for (const OwnCode& o : kOwnCodes) {
    if (static_cast<std::uint32_t>(o.code) == code) {
      return &o;
    }
  }
  return nullptr;
}

const OwnCode* ByWin(std::uint32_t win) {
  for (const OwnCode& o : kOwnCodes) {
    if (o.win == win) {
      return &o;
    }
  }
  return nullptr;
}

struct Named {
  std::uint32_t value;
  const char* text;
};

constexpr Named kWinNames[] = {
    {1u, "invalid function"},       {2u, "file not found"},       {3u, "path not found"},
    {5u, "access denied"},          {6u, "invalid handle"},       {8u, "not enough memory"},
    {13u, "invalid data"},          {19u, "write protected"},     {21u, "device not ready"},
    {31u, "general failure"},       {80u, "file exists"},         {87u, "invalid parameter"},
    {122u, "buffer too small"},     {123u, "invalid name"},       {126u, "module not found"},
    {127u, "procedure not found"},  {145u, "folder not empty"},   {183u, "already exists"},
    {206u, "name too long"},        {234u, "more data"},          {259u, "no more items"},
    {1247u, "already initialised"}, {1306u, "revision mismatch"}, {1460u, "timed out"},
};

constexpr Named kHResultNames[] = {
    {0x80004001u, "not implemented"},
    {0x80004002u, "no such interface"},
    {0x80004003u, "invalid pointer"},
    {0x80004004u, "aborted"},
    {0x80004005u, "unspecified"},
    {0x8000FFFFu, "unexpected"},
    {0x80030002u, "no such device or file"},
    {0x80092003u, "file error"},
};

const char* Lookup(const Named* first, const Named* last, std::uint32_t value) {
  for (; first != last; ++first) {
    if (first->value == value) {
      return first->text;
    }
  }
  return nullptr;
}

}  // namespace

int WinErr2ToolsErr(DWORD winError) noexcept {
  const std::uint32_t w = winError;
  if (w == 0 || w == kWinBase || w >= 2 * kWinBase) {
    return static_cast<int>(w);
  }
  if (w < kWinBase) {
    const OwnCode* o = ByWin(w);
    return o != nullptr ? o->code : static_cast<int>(kWinBase + w);
  }
  // 0x10001..0x1FFFF: rare codes that take the own-code slots no Win32 code
  // uses, so that the mapping stays one to one.
  const std::uint32_t k = w - kWinBase;
  const OwnCode* o = ByCode(k);
  return static_cast<int>(o != nullptr ? kWinBase + o->win : k);
}

DWORD TooErr2WinErr(int toolsError) noexcept {
  const std::uint32_t c = static_cast<std::uint32_t>(toolsError);
  if (c == 0 || c == kWinBase || c >= 2 * kWinBase) {
    return c;
  }
  if (c < kWinBase) {
    const OwnCode* o = ByCode(c);
    return o != nullptr ? o->win : kWinBase + c;
  }
  const std::uint32_t k = c - kWinBase;
  const OwnCode* o = ByWin(k);
  return o != nullptr ? kWinBase + static_cast<std::uint32_t>(o->code) : k;
}

HRESULT TooErr2HResult(int toolsError) noexcept {
  if (toolsError <= 0) {
    return toolsError;
  }
  return HRESULT_FROM_WIN32(static_cast<long>(TooErr2WinErr(toolsError)));
}

int HResult2ToolsErr(HRESULT hr) noexcept {
  if (hr >= 0) {
    return 0;
  }
  const std::uint32_t u = static_cast<std::uint32_t>(hr);
  if ((u & 0xFFFF0000u) == 0x80070000u && (u & 0xFFFFu) != 0) {
    return WinErr2ToolsErr(u & 0xFFFFu);
  }
  return hr;
}

std::string ToolsErrMessage(int toolsError) {
  const std::uint32_t c = static_cast<std::uint32_t>(toolsError);
  char text[96];
  if (c == 0) {
    return "no error";
  }
  if (const OwnCode* o = ByCode(c); o != nullptr) {
    return o->text;
  }
  if (toolsError < 0) {
    const char* name = Lookup(std::begin(kHResultNames), std::end(kHResultNames), c);
    std::snprintf(text, sizeof text, "failure 0x%08X (%s)", static_cast<unsigned>(c),
                  name != nullptr ? name : "component or system failure");
    return text;
  }
  const DWORD w = TooErr2WinErr(toolsError);
  const char* name = Lookup(std::begin(kWinNames), std::end(kWinNames), w);
  if (name != nullptr) {
    std::snprintf(text, sizeof text, "Win32 error %u (%s)", static_cast<unsigned>(w), name);
  } else {
    std::snprintf(text, sizeof text, "Win32 error %u", static_cast<unsigned>(w));
  }
  return text;
}
