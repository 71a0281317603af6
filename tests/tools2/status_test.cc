#include <tools2/errors.h>
#include <tools2/status.h>

#include <tools2/xtoo_file_no_throw.h>

#include <gtest/gtest.h>

namespace {

TEST(XTOOStatus, RaiseFlagDecidesWhetherRecordingAFailureThrows) {
  XTOOStatus quiet(0, false);
  quiet.SetError(TOOERR_NO_ROOM);
  EXPECT_TRUE(quiet.IsError());
  EXPECT_EQ(quiet.Status(), TOOERR_NO_ROOM);
  EXPECT_EQ(quiet.ErrorMessage(), "too little room");
  quiet.Clear();
  EXPECT_FALSE(quiet.IsError());

  XTOOStatus loud(0, true);
  loud.SetError(0);  // success never throws
  try {
    loud.SetError(TOOERR_SHORT_READ);
    ADD_FAILURE() << "no exception";
  } catch (const XTOOStatus& e) {
    EXPECT_EQ(e.Status(), TOOERR_SHORT_READ);
  }
  const XTOOStatus built(TOOERR_NO_SESSION, true);  // building does not throw
  EXPECT_EQ(built.Status(), TOOERR_NO_SESSION);
}

TEST(XTOOStatus, RaiseThrowsTheMostDerivedToolkitClass) {
  XTOOFile file(false);
  file.SetError(TOOERR_FILE_MISSING);
  const XTOOStatus& asBase = file;
  EXPECT_THROW(asBase.Raise(), XTOOFile);

  localstatus::XTOOFileNoThrow noThrow;
  noThrow.SetError(TOOERR_OPEN_FAILED);  // never raises
  EXPECT_EQ(noThrow.Status(), TOOERR_OPEN_FAILED);
  EXPECT_THROW(noThrow.Raise(), XTOOFile);
}

}  // namespace
