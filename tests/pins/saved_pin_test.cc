// Saved PINs against the programmable test component and a registry of the
// test's own, with a decipher function the tests program.
#include "keydepot/ad/saved_pin.h"
#include "keydepot/ad/session.h"
#include "keydepot/storage.h"
#include "test_support.h"
#include "tools2/errors.h"
#include "tools2/registry.h"

#include <kdtest/heap.h>
#include <kdtest/registry.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string_view>
#include <vector>

// This program's allocator: while a test watches, every block freed through
// delete is searched for the watched PIN, so a buffer that held the PIN and
// was freed without being wiped is counted. (On Windows the DLLs keep their
// own allocators: what the toolkit frees inside tools2.dll is not seen.)
namespace {

constexpr std::string_view kWatchedPin = "watched-pin-4711-must-be-wiped";
std::atomic<bool> g_watching{false};
std::atomic<int> g_unwipedBlocks{0};

void* Allocate(std::size_t size) {
  if (void* block = std::malloc(size ? size : 1)) return block;
  throw std::bad_alloc();
}

void Free(void* block) noexcept {
  if (block != nullptr && g_watching) {
    const std::string_view bytes(static_cast<const char*>(block), kdtest::BlockSize(block));
    if (bytes.find(kWatchedPin) != std::string_view::npos) ++g_unwipedBlocks;
  }
  std::free(block);
}

}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size ? size : 1); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size ? size : 1); }
void operator delete(void* block) noexcept { Free(block); }
void operator delete[](void* block) noexcept { Free(block); }
void operator delete(void* block, std::size_t) noexcept { Free(block); }
void operator delete[](void* block, std::size_t) noexcept { Free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { Free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { Free(block); }

namespace keydepot::ad {
namespace {

using keydepot::testing::ComponentTest;
using Bytes = std::vector<unsigned char>;

constexpr char kKeyRoot[] = "SOFTWARE\\Maltrove\\MTRVShared\\AD\\";
constexpr char kPath[] = "5|100\\17|0A1B";

// What the decipher function was given and what it answers.
struct FakeCipher {
  int result = 0;
  Bytes produce;                  // copied to the output, at most outputSize bytes
  DWORD reportedLength = 0xFFFF;  // 0xFFFF: produce.size()
  int calls = 0;
  DWORD outputSize = 0;
  Bytes enciphered;
  std::string idText;
};
FakeCipher fake;

int WINAPI FakeDecipher(unsigned char* output, DWORD outputSize, DWORD* outputLength, const unsigned char* enciphered,
                        DWORD encipheredLength, const unsigned char* idText, DWORD idTextLength) {
  ++fake.calls;
  fake.outputSize = outputSize;
  fake.enciphered.assign(enciphered, enciphered + encipheredLength);
  fake.idText.assign(reinterpret_cast<const char*>(idText), idTextLength);
  if (fake.result != 0) return fake.result;
  const std::size_t n = std::min<std::size_t>(fake.produce.size(), outputSize);
  std::memcpy(output, fake.produce.data(), n);
  *outputLength = fake.reportedLength != 0xFFFF ? fake.reportedLength : static_cast<DWORD>(fake.produce.size());
  return 0;
}

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

class SavedPinTest : public ComponentTest {
 protected:
  void SetUp() override {
    ComponentTest::SetUp();
    fake = FakeCipher{};
    // On Windows the device keys lie in the system's registry, where no
    // other test uses them at the same time (tests/pins/CMakeLists.txt).
    for (const char* idText : {"0A1B", "0C", "Reader-7"}) registry_.Forget(kKeyRoot + std::string(idText));
    tc().AddDevice({.type = 100, .id = {0x0A, 0x1B}});
    session_ = OpenSilentSession(nullptr);
    ASSERT_NE(session_, 0u);
  }
  void TearDown() override {
    CloseSession(session_);
    ComponentTest::TearDown();
  }

  // Writes the device's key; a missing optional value is left out.
  static void Save(const std::string& idText, std::optional<DWORD> savePin, std::optional<Bytes> pin) {
    CTooRegHLM key((kKeyRoot + idText).c_str(), TOOREG_CREATE);
    if (savePin) {
      ASSERT_TRUE(key.SetValue("SavePIN", *savePin));
    }
    if (pin) {
      ASSERT_TRUE(key.SetValue("PIN", pin->data(), static_cast<DWORD>(pin->size())));
    }
  }
  static std::optional<DWORD> SavePinValue(const std::string& idText) {
    CTooRegHLM key((kKeyRoot + idText).c_str(), TOOREG_READ);
    DWORD v = 0;
    if (!key.GetValueEx("SavePIN", REG_DWORD, &v, sizeof v)) return std::nullopt;
    return v;
  }
  static bool HasPin(const std::string& idText) {
    CTooRegHLM key((kKeyRoot + idText).c_str(), TOOREG_READ);
    key.GetBufferLength("PIN");
    return GetLastError() == 0;
  }

  HRESULT Read(CTOOString& pin, DWORD outputSize = 300, const char* path = kPath) {
    const PINCiphererCallBacks callbacks{0, &FakeDecipher, 0, outputSize};
    return GetDevicePIN(session_, path, callbacks, pin);
  }

  kdtest::TestRegistry registry_;
  DWORD session_ = 0;
};

TEST_F(SavedPinTest, SavedFlagComesOnlyFromAReadableSavePin) {
  bool saved = false;
  Save("0A1B", 1, std::nullopt);
  EXPECT_EQ(IsPinSaved(session_, kPath, saved), S_OK);
  EXPECT_TRUE(saved);

  Save("0A1B", 0, Text("enciphered"));
  EXPECT_EQ(IsPinSaved(session_, kPath, saved), S_OK);
  EXPECT_FALSE(saved);

  // Without "SavePIN" the answer is a failure, not "no", and the flag stays.
  CTooRegHLM("SOFTWARE\\Maltrove\\MTRVShared\\AD\\0A1B", TOOREG_WRITE).DelValue("SavePIN");
  saved = true;
  EXPECT_EQ(IsPinSaved(session_, kPath, saved), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  EXPECT_TRUE(saved);

  // A positive identifier-text result is passed on with the flag set.
  Save("0A1B", 7, std::nullopt);
  tc().Force({.call = "Device.GetIDText", .result = S_FALSE});
  saved = false;
  EXPECT_EQ(IsPinSaved(session_, kPath, saved), S_FALSE);
  EXPECT_TRUE(saved);
}

TEST_F(SavedPinTest, PinIsReadWhateverSavePinSaysAndCutAtItsFirstZero) {
  const Bytes enciphered = {0x00, 0x01, 0xFE, 0xFF, 0x00};
  Save("0A1B", 0, enciphered);
  fake.produce = {'1', '2', 0, '3', '4'};
  CTOOString pin;
  ASSERT_EQ(Read(pin, 64), S_OK);
  EXPECT_EQ(std::string(pin), "12");
  EXPECT_EQ(pin.Length(), 2u);
  EXPECT_EQ(fake.enciphered, enciphered);
  EXPECT_EQ(fake.outputSize, 64u);
  EXPECT_EQ(fake.idText, "0A1B");  // exactly its length, no terminator
}

TEST_F(SavedPinTest, EveryBufferThatHeldThePinIsWipedBeforeItIsFreed) {
  Save("0A1B", 1, Text("x"));
  fake.produce.assign(kWatchedPin.begin(), kWatchedPin.end());  // no unwiped copy of it is freed before watching
  g_watching = true;
  {
    CTOOString pin("short");
    ASSERT_EQ(Read(pin), S_OK);
    EXPECT_EQ(std::string_view(pin.c_str()), kWatchedPin);
  }
  g_watching = false;
  EXPECT_EQ(g_unwipedBlocks, 0);
}

TEST_F(SavedPinTest, OverlongPinsAreRefusedWithoutWritingPastABuffer) {
  Save("0A1B", 1, Text("x"));
  CTOOString pin("unchanged");

  fake.produce = Bytes(260, 'p');
  ASSERT_EQ(Read(pin, 300), S_OK);
  EXPECT_EQ(pin.Length(), 260u);

  pin = "unchanged";
  fake.produce = Bytes(261, 'p');
  EXPECT_EQ(Read(pin, 300), HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER));
  fake.produce.clear();
  fake.reportedLength = 0xFFFFFFF0u;  // a count far beyond every buffer
  EXPECT_EQ(Read(pin, 300), HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER));
  fake.produce = Bytes(8, 'p');
  fake.reportedLength = 9;  // more than the output buffer it was given
  EXPECT_EQ(Read(pin, 8), HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(std::string(pin), "unchanged");

  // The enciphered value is read into 261 bytes: exactly that fits, more not.
  fake = FakeCipher{};
  fake.produce = Text("1");
  Save("0A1B", 1, Bytes(261, 0xEE));
  EXPECT_EQ(Read(pin), S_OK);
  EXPECT_EQ(fake.enciphered.size(), 261u);
  Save("0A1B", 1, Bytes(262, 0xEE));
  EXPECT_EQ(Read(pin), HRESULT_FROM_WIN32(ERROR_MORE_DATA));
  EXPECT_EQ(fake.calls, 1);

  const PINCiphererCallBacks noFunction{0, nullptr, 0, 300};
  EXPECT_EQ(GetDevicePIN(session_, kPath, noFunction, pin), HRESULT_FROM_WIN32(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(std::string(pin), "1");
}

TEST_F(SavedPinTest, DecipherAndRegistryFailuresMapToTheirCodes) {
  CTOOString pin;
  EXPECT_EQ(Read(pin), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));  // no key
  Save("0A1B", 1, std::nullopt);
  EXPECT_EQ(Read(pin), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));  // no "PIN"
  EXPECT_EQ(fake.calls, 0);

  Save("0A1B", 1, Text("x"));
  fake.result = TOOERR_NOT_OFFERED;  // a toolkit code: its Win32 partner is reported
  EXPECT_EQ(Read(pin), HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED));
  fake.result = WinErr2ToolsErr(ERROR_INVALID_DATA);
  EXPECT_EQ(Read(pin), HRESULT_FROM_WIN32(ERROR_INVALID_DATA));
  EXPECT_TRUE(pin.IsEmpty());
}

TEST_F(SavedPinTest, AKeyThatCannotBeOpenedIsConvertedPerFunction) {
  Save("0A1B", 1, Text("x"));
  ASSERT_TRUE(registry_.LockOut(kKeyRoot + std::string("0A1B")));
  bool saved = false;
  CTOOString pin;
  const HRESULT isSaved = IsPinSaved(session_, kPath, saved);
  const HRESULT removed = RemoveSavedPin(session_, kPath);
  const HRESULT read = Read(pin);
  ASSERT_TRUE(registry_.LetIn(kKeyRoot + std::string("0A1B")));
  // The registry's code is a Win32 code; IsPinSaved and RemoveSavedPin read
  // it as a toolkit code (5 is the toolkit's "short read").
  EXPECT_EQ(isSaved, TooErr2HResult(static_cast<int>(ERROR_ACCESS_DENIED)));
  EXPECT_EQ(isSaved, HRESULT_FROM_WIN32(ERROR_READ_FAULT));
  EXPECT_EQ(removed, isSaved);
  EXPECT_EQ(read, HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));
  EXPECT_EQ(SavePinValue("0A1B"), 1u);
}

TEST_F(SavedPinTest, RemovalClearsSavePinWithOrWithoutAPin) {
  Save("0A1B", 1, std::nullopt);
  EXPECT_EQ(RemoveSavedPin(session_, kPath), S_OK);
  EXPECT_EQ(SavePinValue("0A1B"), 0u);

  Save("0A1B", 1, Text("x"));
  EXPECT_EQ(RemoveSavedPin(session_, kPath), S_OK);
  EXPECT_EQ(SavePinValue("0A1B"), 0u);
  EXPECT_FALSE(HasPin("0A1B"));

  // No key: a failure, and no key is made.
  tc().AddDevice({.type = 100, .id = {0x0C}});
  EXPECT_EQ(RemoveSavedPin(session_, "5|100\\17|0C"), TooErr2HResult(static_cast<int>(ERROR_FILE_NOT_FOUND)));
  EXPECT_THROW(CTooRegHLM((kKeyRoot + std::string("0C")).c_str(), TOOREG_READ), XTOORegError);
}

TEST_F(SavedPinTest, TheKeyIsNamedByTheDevicesOwnIdentifierText) {
  Save("0A1B", 1, Text("x"));
  // Another spelling of the same device (trailing zero bytes, a container).
  const char* other = "5|100\\17|0A1B0000\\8|keys";
  bool saved = false;
  EXPECT_EQ(IsPinSaved(session_, other, saved), S_OK);
  EXPECT_TRUE(saved);
  EXPECT_EQ(RemoveSavedPin(session_, other), S_OK);
  EXPECT_EQ(IsPinSaved(session_, kPath, saved), S_OK);
  EXPECT_FALSE(saved);

  // A device whose text is not derived from the path's identifier.
  tc().AddDevice({.type = 100, .id = {0x0D}, .idText = std::string("Reader-7")});
  Save("Reader-7", 1, Text("y"));
  fake.produce = Text("4321");
  CTOOString pin;
  EXPECT_EQ(Read(pin, 300, "5|100\\17|0D"), S_OK);
  EXPECT_EQ(fake.idText, "Reader-7");
  EXPECT_EQ(std::string(pin), "4321");
}

TEST_F(SavedPinTest, TheCommonStartFailsBeforeTheRegistry) {
  Save("0A1B", 1, Text("x"));
  bool saved = false;
  CTOOString pin;
  for (const char* path : {static_cast<const char*>(nullptr), ""}) {
    EXPECT_EQ(IsPinSaved(session_, path, saved), E_INVALIDARG);
    EXPECT_EQ(Read(pin, 300, path), E_INVALIDARG);
    EXPECT_EQ(RemoveSavedPin(session_, path), E_INVALIDARG);
  }
  EXPECT_EQ(IsPinSaved(session_, "5|100\\17|FF", saved), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(Read(pin, 300, "5|100\\17|FF"), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));

  tc().Force({.call = "Device.GetIDText", .result = E_ABORT});
  EXPECT_EQ(Read(pin, 300), E_ABORT);
  EXPECT_EQ(RemoveSavedPin(session_, kPath), E_ABORT);
  EXPECT_EQ(fake.calls, 0);
  EXPECT_EQ(SavePinValue("0A1B"), 1u);
}

TEST_F(SavedPinTest, TheThreadsLastErrorIsKept) {
  Save("0A1B", std::nullopt, Text("x"));
  fake.produce = Text("1234");
  bool saved = false;
  CTOOString pin;
  SetLastError(4321);
  EXPECT_EQ(IsPinSaved(session_, kPath, saved), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));  // no "SavePIN"
  EXPECT_EQ(GetLastError(), 4321u);
  EXPECT_EQ(Read(pin), S_OK);
  EXPECT_EQ(GetLastError(), 4321u);
  EXPECT_EQ(RemoveSavedPin(session_, kPath), S_OK);
  EXPECT_EQ(GetLastError(), 4321u);
  EXPECT_EQ(Read(pin), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(GetLastError(), 4321u);
}

TEST_F(SavedPinTest, GetRandomOnlyReportsThatItIsNotOffered) {
  unsigned char buffer[4] = {1, 2, 3, 4};
  EXPECT_FALSE(GetRandom(session_, 0, buffer, sizeof buffer));
  EXPECT_EQ(KDPGetLastError(), TOOERR_NOT_OFFERED);
  EXPECT_EQ(buffer[0], 1);
  EXPECT_FALSE(GetRandom(0, 0, nullptr, 100));
  EXPECT_EQ(KDPGetLastError(), 115);
}

}  // namespace
}  // namespace keydepot::ad
