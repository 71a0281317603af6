#include "keydepot/cert_info.h"

#include <gtest/gtest.h>

namespace keydepot {
namespace {

TEST(CertInfo, CopiesShareDataAndPinButOwnTheirStrings) {
  IdentObj data("abc", 3);
  const std::string pin = "1234";
  CertInfo original;
  original.path = "C:\\a.bin";
  original.auxText = "note";
  original.auxValue = 7;
  original.data = &data;
  original.pin = &pin;
  original.session = 42;
  original.deviceId = IdentObj("\x01\x02", 2);
  {
    CertInfo copy(original);
    CertInfo assigned;
    assigned = copy;
    const CertInfo& self = assigned;
    assigned = self;
    EXPECT_EQ(assigned.path, "C:\\a.bin");
    EXPECT_EQ(assigned.data, &data);
    EXPECT_EQ(assigned.pin, &pin);
    EXPECT_EQ(assigned.session, 42u);
    EXPECT_EQ(assigned.auxValue, 7u);
    EXPECT_TRUE(assigned.deviceId == original.deviceId);
    EXPECT_NE(assigned.deviceId.pbData, original.deviceId.pbData);
    copy.path += "x";
    EXPECT_EQ(original.path, "C:\\a.bin");
  }
  // The copies are gone; what they pointed to is the caller's and still there.
  EXPECT_EQ(data.GetObjectSize(), 3u);
  EXPECT_EQ(pin, "1234");
}

}  // namespace
}  // namespace keydepot
