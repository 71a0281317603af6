// The registry tests' fixture: a registry of the test's own
// (kdtest/registry.h).
#pragma once

#include "tools2/errors.h"
#include "tools2/registry.h"

#include <gtest/gtest.h>
#include <kdplatform/win32.h>
#include <kdtest/registry.h>

#include <string>
#include <vector>

using Bytes = std::vector<unsigned char>;

class RegistryTest : public ::testing::Test {
 protected:
  std::string Key(const std::string& relative) const { return registry_.Key(relative); }

  // The code an open raises, or 0.
  static int OpenError(const std::string& key, int access) {
    try {
      CTooRegHLM reg(key.c_str(), access);
      return 0;
    } catch (const XTOORegError& e) {
      return e.Code();
    }
  }

  static Bytes ReadValue(CTooReg& reg, const char* name) {
    Bytes bytes(reg.GetBufferLength(name));
    if (!reg.GetMemory(name, bytes.data(), static_cast<DWORD>(bytes.size()))) return {};
    return bytes;
  }

  kdtest::TestRegistry registry_;
};
