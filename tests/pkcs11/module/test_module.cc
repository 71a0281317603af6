// A PKCS#11 module for the tests, with its tokens in memory; test_module.h
// says what the tests control. It implements the functions the component
// calls, and C_GetInfo, C_Logout, C_CloseAllSessions and C_GetSessionInfo,
// which any PKCS#11 user (p11-kit) may call too; every other function
// answers CKR_FUNCTION_NOT_SUPPORTED. It is as strict as the standard
// allows, so that a fault of the component shows here and not on a user's
// card: a search left open, a private object made before a login, a write in
// a read-only session or on a pulled token, a session object.
//
// Built twice: p11test, and p11test_failing (TEST_MODULE_FAIL_INIT), whose
// C_Initialize fails with CKR_DEVICE_ERROR.
//
// One lock guards everything; calls come from any thread (the component
// initialises with CKF_OS_LOCKING_OK).
#include "test_module.h"

#include "kdplatform/export.h"
#include "kdplatform/wiped_bytes.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

namespace {

constexpr char kManufacturer[] = "keydepot tests";

// Values are kept wiped: item bytes and PINs are secrets even here.
using Bytes = kdp::WipedBytes;

struct Object {
  CK_OBJECT_HANDLE handle = CK_INVALID_HANDLE;
  std::map<CK_ATTRIBUTE_TYPE, Bytes> attributes;

  bool Flag(CK_ATTRIBUTE_TYPE type) const {
    const auto it = attributes.find(type);
    return it != attributes.end() && it->second.size() == 1 && it->second.data()[0] == CK_TRUE;
  }
  std::size_t PrivateBytes() const {
    const auto it = attributes.find(CKA_VALUE);
    return Flag(CKA_PRIVATE) && it != attributes.end() ? it->second.size() : 0;
  }
  bool Matches(const CK_ATTRIBUTE* match, CK_ULONG count) const {
    return std::all_of(match, match + count, [&](const CK_ATTRIBUTE& wanted) {
      const auto it = attributes.find(wanted.type);
      return it != attributes.end() && it->second.size() == wanted.ulValueLen &&
             (wanted.ulValueLen == 0 || std::memcmp(it->second.data(), wanted.pValue, wanted.ulValueLen) == 0);
    });
  }
};

struct Token {
  std::string label;
  std::string serial;
  Bytes pin;
  CK_FLAGS flags = 0;
  CK_ULONG pinTries = 0;
  CK_ULONG wrongPins = 0;
  CK_ULONG privateMemory = CK_UNAVAILABLE_INFORMATION;
  std::vector<Object> objects;
  bool loggedIn = false;  // the process's login; PKCS#11 keeps one per token
  // TestModule_Busy: what the next calls answer instead of their work.
  CK_RV busyAnswer = CKR_OK;
  CK_ULONG busyInfo = 0, busyOpen = 0;

  CK_ULONG TriesLeft() const { return pinTries - std::min(wrongPins, pinTries); }
  CK_ULONG UsedPrivateMemory() const {
    CK_ULONG used = 0;
    for (const Object& object : objects) used += static_cast<CK_ULONG>(object.PrivateBytes());
    return used;
  }
  bool HasRoomFor(const Object& object) const {
    return privateMemory == CK_UNAVAILABLE_INFORMATION || object.PrivateBytes() <= privateMemory - UsedPrivateMemory();
  }
  // A private object is invisible, as if absent, before the login.
  Object* Find(CK_OBJECT_HANDLE handle) {
    for (Object& object : objects) {
      if (object.handle == handle) return object.Flag(CKA_PRIVATE) && !loggedIn ? nullptr : &object;
    }
    return nullptr;
  }
};

struct Session {
  CK_SLOT_ID slot = 0;
  std::shared_ptr<Token> token;
  bool readWrite = false;
  bool removed = false;  // its token was pulled: the session is over
  bool searching = false;
  std::vector<CK_OBJECT_HANDLE> found;
  std::size_t next = 0;
};

struct Module {
  std::mutex mutex;
  bool initialized = false;
  std::array<std::shared_ptr<Token>, kTestReaders> readers;
  std::vector<std::shared_ptr<Token>> aside;  // pulled, to be inserted again
  std::map<CK_SESSION_HANDLE, Session> sessions;
  // Handles are never used twice, so a stale one is always refused.
  CK_SESSION_HANDLE nextSession = 0x51;
  CK_OBJECT_HANDLE nextObject = 0x1001;

  void LogOutIfLast(const std::shared_ptr<Token>& token) {
    const bool more =
        std::any_of(sessions.begin(), sessions.end(), [&](const auto& entry) { return entry.second.token == token; });
    if (!more) token->loggedIn = false;
  }
};

// Destroyed when the module is unloaded: a call after that is the caller's
// fault, and a crash shows it.
Module& State() {
  static Module module;
  return module;
}

void Pad(CK_UTF8CHAR* field, std::size_t size, const std::string& text) {
  std::memset(field, ' ', size);
  std::memcpy(field, text.data(), std::min(size, text.size()));
}

CK_RV ReaderOf(CK_SLOT_ID slot, std::size_t* reader) {
  if (slot < kFirstTestSlot || slot - kFirstTestSlot >= kTestReaders) return CKR_SLOT_ID_INVALID;
  *reader = slot - kFirstTestSlot;
  return CKR_OK;
}

// Runs body(module) under the lock; control functions pass initialised.
template <class Body>
CK_RV Locked(Body&& body, bool anyTime = false) {
  Module& module = State();
  std::lock_guard lock(module.mutex);
  if (!module.initialized && !anyTime) return CKR_CRYPTOKI_NOT_INITIALIZED;
  return body(module);
}

// Runs body(module, session, token) for a session whose token is still in.
template <class Body>
CK_RV WithSession(CK_SESSION_HANDLE handle, Body&& body) {
  return Locked([&](Module& module) {
    const auto it = module.sessions.find(handle);
    if (it == module.sessions.end()) return CKR_SESSION_HANDLE_INVALID;
    if (it->second.removed) return CKR_DEVICE_REMOVED;
    return body(module, it->second, *it->second.token);
  });
}

// The object a template describes: CKA_CLASS required, CKA_TOKEN true (this
// module keeps no session objects), CKA_PRIVATE false unless given.
CK_RV MakeObject(const CK_ATTRIBUTE* attributes, CK_ULONG count, Object* object) {
  if (attributes == nullptr && count != 0) return CKR_ARGUMENTS_BAD;
  for (CK_ULONG i = 0; i < count; ++i) {
    const CK_ATTRIBUTE& attribute = attributes[i];
    if (attribute.pValue == nullptr && attribute.ulValueLen != 0) return CKR_ARGUMENTS_BAD;
    if (attribute.ulValueLen == CK_UNAVAILABLE_INFORMATION) return CKR_ATTRIBUTE_VALUE_INVALID;
    if (object->attributes.count(attribute.type) != 0) return CKR_TEMPLATE_INCONSISTENT;
    object->attributes.emplace(attribute.type, Bytes(attribute.pValue, attribute.ulValueLen));
  }
  const CK_BBOOL yes = CK_TRUE, no = CK_FALSE;
  object->attributes.try_emplace(CKA_TOKEN, &yes, 1);
  object->attributes.try_emplace(CKA_PRIVATE, &no, 1);
  if (object->attributes.count(CKA_CLASS) == 0) return CKR_TEMPLATE_INCOMPLETE;
  if (object->attributes.at(CKA_CLASS).size() != sizeof(CK_OBJECT_CLASS)) return CKR_ATTRIBUTE_VALUE_INVALID;
  for (const CK_ATTRIBUTE_TYPE flag : {CKA_TOKEN, CKA_PRIVATE}) {
    if (object->attributes.at(flag).size() != 1) return CKR_ATTRIBUTE_VALUE_INVALID;
  }
  return object->Flag(CKA_TOKEN) ? CKR_OK : CKR_ATTRIBUTE_VALUE_INVALID;
}

CK_RV Initialize(void* /*args: locking is the module's own*/) {
#ifdef TEST_MODULE_FAIL_INIT
  return CKR_DEVICE_ERROR;
#else
  return Locked(
      [](Module& module) {
        if (module.initialized) return CKR_CRYPTOKI_ALREADY_INITIALIZED;
        module.initialized = true;
        return CKR_OK;
      },
      true);
#endif
}

CK_RV Finalize(void* reserved) {
  if (reserved != nullptr) return CKR_ARGUMENTS_BAD;
  return Locked([](Module& module) {
    module.sessions.clear();
    for (const auto& token : module.readers) {
      if (token) token->loggedIn = false;
    }
    module.initialized = false;
    return CKR_OK;
  });
}

CK_RV GetInfo(CK_INFO* info) {
  if (info == nullptr) return CKR_ARGUMENTS_BAD;
  return Locked([&](Module&) {
    std::memset(info, 0, sizeof *info);
    info->cryptokiVersion = {2, 40};
    Pad(info->manufacturerID, sizeof info->manufacturerID, kManufacturer);
    Pad(info->libraryDescription, sizeof info->libraryDescription, "keydepot test module");
    info->libraryVersion = {1, 0};
    return CKR_OK;
  });
}

CK_RV GetSlotList(CK_BBOOL present, CK_SLOT_ID* slots, CK_ULONG* count) {
  if (count == nullptr) return CKR_ARGUMENTS_BAD;
  return Locked([&](Module& module) {
    std::vector<CK_SLOT_ID> listed;
    for (std::size_t reader = 0; reader < kTestReaders; ++reader) {
      if (present == CK_FALSE || module.readers[reader]) listed.push_back(kFirstTestSlot + reader);
    }
    const CK_ULONG capacity = *count;
    *count = static_cast<CK_ULONG>(listed.size());
    if (slots == nullptr) return CKR_OK;
    if (capacity < listed.size()) return CKR_BUFFER_TOO_SMALL;
    std::copy(listed.begin(), listed.end(), slots);
    return CKR_OK;
  });
}

CK_RV GetSlotInfo(CK_SLOT_ID slot, CK_SLOT_INFO* info) {
  if (info == nullptr) return CKR_ARGUMENTS_BAD;
  return Locked([&](Module& module) {
    std::size_t reader;
    const CK_RV rv = ReaderOf(slot, &reader);
    if (rv != CKR_OK) return rv;
    std::memset(info, 0, sizeof *info);
    Pad(info->slotDescription, sizeof info->slotDescription, "keydepot test reader " + std::to_string(reader));
    Pad(info->manufacturerID, sizeof info->manufacturerID, kManufacturer);
    info->flags = CKF_HW_SLOT | CKF_REMOVABLE_DEVICE | (module.readers[reader] ? CKF_TOKEN_PRESENT : 0);
    return CKR_OK;
  });
}

CK_RV GetTokenInfo(CK_SLOT_ID slot, CK_TOKEN_INFO* info) {
  if (info == nullptr) return CKR_ARGUMENTS_BAD;
  return Locked([&](Module& module) {
    std::size_t reader;
    const CK_RV rv = ReaderOf(slot, &reader);
    if (rv != CKR_OK) return rv;
    Token* token = module.readers[reader].get();
    if (token == nullptr) return CKR_TOKEN_NOT_PRESENT;
    if (token->busyInfo != 0) {
      --token->busyInfo;
      return token->busyAnswer;
    }
    std::memset(info, 0, sizeof *info);
    Pad(info->label, sizeof info->label, token->label);
    Pad(info->manufacturerID, sizeof info->manufacturerID, kManufacturer);
    Pad(info->model, sizeof info->model, "memory token");
    Pad(info->serialNumber, sizeof info->serialNumber, token->serial);
    Pad(info->utcTime, sizeof info->utcTime, "");
    const CK_ULONG left = token->TriesLeft();
    info->flags = CKF_TOKEN_INITIALIZED | CKF_USER_PIN_INITIALIZED | CKF_LOGIN_REQUIRED | token->flags |
                  (token->wrongPins != 0 ? CKF_USER_PIN_COUNT_LOW : 0) | (left == 1 ? CKF_USER_PIN_FINAL_TRY : 0) |
                  (left == 0 ? CKF_USER_PIN_LOCKED : 0);
    CK_ULONG sessions = 0, readWrite = 0;
    for (const auto& [handle, session] : module.sessions) {
      if (session.token.get() != token) continue;
      ++sessions;
      if (session.readWrite) ++readWrite;
    }
    info->ulMaxSessionCount = info->ulMaxRwSessionCount = CK_EFFECTIVELY_INFINITE;
    info->ulSessionCount = sessions;
    info->ulRwSessionCount = readWrite;
    info->ulMaxPinLen = 64;
    info->ulMinPinLen = 1;
    info->ulTotalPublicMemory = info->ulFreePublicMemory = CK_UNAVAILABLE_INFORMATION;
    info->ulTotalPrivateMemory = token->privateMemory;
    info->ulFreePrivateMemory = token->privateMemory == CK_UNAVAILABLE_INFORMATION
                                    ? CK_UNAVAILABLE_INFORMATION
                                    : token->privateMemory - token->UsedPrivateMemory();
    info->hardwareVersion = info->firmwareVersion = {1, 0};
    return CKR_OK;
  });
}

CK_RV OpenSession(CK_SLOT_ID slot, CK_FLAGS flags, void* /*application*/, CK_NOTIFY /*notify*/,
                  CK_SESSION_HANDLE* handle) {
  if (handle == nullptr) return CKR_ARGUMENTS_BAD;
  if ((flags & CKF_SERIAL_SESSION) == 0) return CKR_SESSION_PARALLEL_NOT_SUPPORTED;
  return Locked([&](Module& module) {
    std::size_t reader;
    const CK_RV rv = ReaderOf(slot, &reader);
    if (rv != CKR_OK) return rv;
    const auto& token = module.readers[reader];
    if (!token) return CKR_TOKEN_NOT_PRESENT;
    if (token->busyOpen != 0) {
      --token->busyOpen;
      return token->busyAnswer;
    }
    const bool readWrite = (flags & CKF_RW_SESSION) != 0;
    if (readWrite && (token->flags & CKF_WRITE_PROTECTED) != 0) return CKR_TOKEN_WRITE_PROTECTED;
    Session session;
    session.slot = slot;
    session.token = token;
    session.readWrite = readWrite;
    *handle = module.nextSession++;
    module.sessions.emplace(*handle, std::move(session));
    return CKR_OK;
  });
}

// A session whose token was pulled is closed without complaint.
CK_RV CloseSession(CK_SESSION_HANDLE handle) {
  return Locked([&](Module& module) {
    const auto it = module.sessions.find(handle);
    if (it == module.sessions.end()) return CKR_SESSION_HANDLE_INVALID;
    const std::shared_ptr<Token> token = it->second.token;
    module.sessions.erase(it);
    module.LogOutIfLast(token);
    return CKR_OK;
  });
}

CK_RV CloseAllSessions(CK_SLOT_ID slot) {
  return Locked([&](Module& module) {
    std::size_t reader;
    const CK_RV rv = ReaderOf(slot, &reader);
    if (rv != CKR_OK) return rv;
    std::erase_if(module.sessions, [&](const auto& entry) { return entry.second.slot == slot; });
    if (module.readers[reader]) module.LogOutIfLast(module.readers[reader]);
    return CKR_OK;
  });
}

CK_RV GetSessionInfo(CK_SESSION_HANDLE handle, CK_SESSION_INFO* info) {
  if (info == nullptr) return CKR_ARGUMENTS_BAD;
  return WithSession(handle, [&](Module&, Session& session, Token& token) {
    std::memset(info, 0, sizeof *info);
    info->slotID = session.slot;
    info->flags = CKF_SERIAL_SESSION | (session.readWrite ? CKF_RW_SESSION : 0);
    info->state = session.readWrite ? (token.loggedIn ? CKS_RW_USER_FUNCTIONS : CKS_RW_PUBLIC_SESSION)
                                    : (token.loggedIn ? CKS_RO_USER_FUNCTIONS : CKS_RO_PUBLIC_SESSION);
    return CKR_OK;
  });
}

// A wrong PIN counts; the last try that fails locks the PIN, and a right
// one resets the count unless it is locked.
CK_RV Login(CK_SESSION_HANDLE handle, CK_USER_TYPE user, CK_UTF8CHAR* pin, CK_ULONG length) {
  return WithSession(handle, [&](Module&, Session&, Token& token) {
    if (user != CKU_USER) return CKR_USER_TYPE_INVALID;
    if (token.loggedIn) return CKR_USER_ALREADY_LOGGED_IN;
    if (token.TriesLeft() == 0) return CKR_PIN_LOCKED;
    if ((token.flags & CKF_PROTECTED_AUTHENTICATION_PATH) != 0) {
      // The pad reads the PIN; PIN text from the caller is a mistake.
      if (pin != nullptr) return CKR_ARGUMENTS_BAD;
    } else {
      if (pin == nullptr && length != 0) return CKR_ARGUMENTS_BAD;
      if (length != token.pin.size() || (length != 0 && std::memcmp(pin, token.pin.data(), length) != 0)) {
        ++token.wrongPins;
        return CKR_PIN_INCORRECT;
      }
    }
    token.wrongPins = 0;
    token.loggedIn = true;
    return CKR_OK;
  });
}

CK_RV Logout(CK_SESSION_HANDLE handle) {
  return WithSession(handle, [&](Module&, Session&, Token& token) {
    if (!token.loggedIn) return CKR_USER_NOT_LOGGED_IN;
    token.loggedIn = false;
    return CKR_OK;
  });
}

CK_RV CreateObject(CK_SESSION_HANDLE handle, CK_ATTRIBUTE* attributes, CK_ULONG count, CK_OBJECT_HANDLE* created) {
  if (created == nullptr) return CKR_ARGUMENTS_BAD;
  return WithSession(handle, [&](Module& module, Session& session, Token& token) {
    if (!session.readWrite) return CKR_SESSION_READ_ONLY;
    Object object;
    const CK_RV rv = MakeObject(attributes, count, &object);
    if (rv != CKR_OK) return rv;
    if (object.Flag(CKA_PRIVATE) && !token.loggedIn) return CKR_USER_NOT_LOGGED_IN;
    if (!token.HasRoomFor(object)) return CKR_DEVICE_MEMORY;
    object.handle = module.nextObject++;
    *created = object.handle;
    token.objects.push_back(std::move(object));
    return CKR_OK;
  });
}

CK_RV DestroyObject(CK_SESSION_HANDLE handle, CK_OBJECT_HANDLE object) {
  return WithSession(handle, [&](Module&, Session& session, Token& token) {
    if (!session.readWrite) return CKR_SESSION_READ_ONLY;
    const Object* found = token.Find(object);
    if (found == nullptr) return CKR_OBJECT_HANDLE_INVALID;
    token.objects.erase(token.objects.begin() + (found - token.objects.data()));
    return CKR_OK;
  });
}

// Every attribute of the template is answered; the result is the last
// problem met, as the standard asks.
CK_RV GetAttributeValue(CK_SESSION_HANDLE handle, CK_OBJECT_HANDLE object, CK_ATTRIBUTE* attributes, CK_ULONG count) {
  if (attributes == nullptr && count != 0) return CKR_ARGUMENTS_BAD;
  return WithSession(handle, [&](Module&, Session&, Token& token) {
    const Object* found = token.Find(object);
    if (found == nullptr) return CKR_OBJECT_HANDLE_INVALID;
    CK_RV rv = CKR_OK;
    for (CK_ATTRIBUTE& attribute : std::span(attributes, count)) {
      const auto it = found->attributes.find(attribute.type);
      if (it == found->attributes.end()) {
        attribute.ulValueLen = CK_UNAVAILABLE_INFORMATION;
        rv = CKR_ATTRIBUTE_TYPE_INVALID;
      } else if (attribute.pValue == nullptr) {
        attribute.ulValueLen = static_cast<CK_ULONG>(it->second.size());
      } else if (attribute.ulValueLen < it->second.size()) {
        attribute.ulValueLen = CK_UNAVAILABLE_INFORMATION;
        rv = CKR_BUFFER_TOO_SMALL;
      } else {
        if (!it->second.empty()) std::memcpy(attribute.pValue, it->second.data(), it->second.size());
        attribute.ulValueLen = static_cast<CK_ULONG>(it->second.size());
      }
    }
    return rv;
  });
}

CK_RV FindObjectsInit(CK_SESSION_HANDLE handle, CK_ATTRIBUTE* match, CK_ULONG count) {
  if (match == nullptr && count != 0) return CKR_ARGUMENTS_BAD;
  return WithSession(handle, [&](Module&, Session& session, Token& token) {
    if (session.searching) return CKR_OPERATION_ACTIVE;
    session.found.clear();
    for (const Object& object : token.objects) {
      if ((!object.Flag(CKA_PRIVATE) || token.loggedIn) && object.Matches(match, count)) {
        session.found.push_back(object.handle);
      }
    }
    session.next = 0;
    session.searching = true;
    return CKR_OK;
  });
}

CK_RV FindObjects(CK_SESSION_HANDLE handle, CK_OBJECT_HANDLE* objects, CK_ULONG capacity, CK_ULONG* count) {
  if (objects == nullptr || count == nullptr) return CKR_ARGUMENTS_BAD;
  return WithSession(handle, [&](Module&, Session& session, Token&) {
    if (!session.searching) return CKR_OPERATION_NOT_INITIALIZED;
    const std::size_t n = std::min<std::size_t>(capacity, session.found.size() - session.next);
    std::copy_n(session.found.begin() + static_cast<std::ptrdiff_t>(session.next), n, objects);
    session.next += n;
    *count = static_cast<CK_ULONG>(n);
    return CKR_OK;
  });
}

CK_RV FindObjectsFinal(CK_SESSION_HANDLE handle) {
  return WithSession(handle, [&](Module&, Session& session, Token&) {
    if (!session.searching) return CKR_OPERATION_NOT_INITIALIZED;
    session.searching = false;
    session.found.clear();
    return CKR_OK;
  });
}

// Converts to every PKCS#11 function type.
constexpr auto kNotSupported = [](auto...) -> CK_RV { return CKR_FUNCTION_NOT_SUPPORTED; };

CK_FUNCTION_LIST MakeFunctionList() {
  CK_FUNCTION_LIST f{};
  f.version = {2, 40};
  f.C_Initialize = Initialize;
  f.C_Finalize = Finalize;
  f.C_GetInfo = GetInfo;
  f.C_GetFunctionList = C_GetFunctionList;
  f.C_GetSlotList = GetSlotList;
  f.C_GetSlotInfo = GetSlotInfo;
  f.C_GetTokenInfo = GetTokenInfo;
  f.C_GetMechanismList = kNotSupported;
  f.C_GetMechanismInfo = kNotSupported;
  f.C_InitToken = kNotSupported;
  f.C_InitPIN = kNotSupported;
  f.C_SetPIN = kNotSupported;
  f.C_OpenSession = OpenSession;
  f.C_CloseSession = CloseSession;
  f.C_CloseAllSessions = CloseAllSessions;
  f.C_GetSessionInfo = GetSessionInfo;
  f.C_GetOperationState = kNotSupported;
  f.C_SetOperationState = kNotSupported;
  f.C_Login = Login;
  f.C_Logout = Logout;
  f.C_CreateObject = CreateObject;
  f.C_CopyObject = kNotSupported;
  f.C_DestroyObject = DestroyObject;
  f.C_GetObjectSize = kNotSupported;
  f.C_GetAttributeValue = GetAttributeValue;
  f.C_SetAttributeValue = kNotSupported;
  f.C_FindObjectsInit = FindObjectsInit;
  f.C_FindObjects = FindObjects;
  f.C_FindObjectsFinal = FindObjectsFinal;
  f.C_EncryptInit = kNotSupported;
  f.C_Encrypt = kNotSupported;
  f.C_EncryptUpdate = kNotSupported;
  f.C_EncryptFinal = kNotSupported;
  f.C_DecryptInit = kNotSupported;
  f.C_Decrypt = kNotSupported;
  f.C_DecryptUpdate = kNotSupported;
  f.C_DecryptFinal = kNotSupported;
  f.C_DigestInit = kNotSupported;
  f.C_Digest = kNotSupported;
  f.C_DigestUpdate = kNotSupported;
  f.C_DigestKey = kNotSupported;
  f.C_DigestFinal = kNotSupported;
  f.C_SignInit = kNotSupported;
  f.C_Sign = kNotSupported;
  f.C_SignUpdate = kNotSupported;
  f.C_SignFinal = kNotSupported;
  f.C_SignRecoverInit = kNotSupported;
  f.C_SignRecover = kNotSupported;
  f.C_VerifyInit = kNotSupported;
  f.C_Verify = kNotSupported;
  f.C_VerifyUpdate = kNotSupported;
  f.C_VerifyFinal = kNotSupported;
  f.C_VerifyRecoverInit = kNotSupported;
  f.C_VerifyRecover = kNotSupported;
  f.C_DigestEncryptUpdate = kNotSupported;
  f.C_DecryptDigestUpdate = kNotSupported;
  f.C_SignEncryptUpdate = kNotSupported;
  f.C_DecryptVerifyUpdate = kNotSupported;
  f.C_GenerateKey = kNotSupported;
  f.C_GenerateKeyPair = kNotSupported;
  f.C_WrapKey = kNotSupported;
  f.C_UnwrapKey = kNotSupported;
  f.C_DeriveKey = kNotSupported;
  f.C_SeedRandom = kNotSupported;
  f.C_GenerateRandom = kNotSupported;
  f.C_GetFunctionStatus = kNotSupported;
  f.C_CancelFunction = kNotSupported;
  f.C_WaitForSlotEvent = kNotSupported;
  return f;
}

}  // namespace

KDP_MODULE_EXPORT CK_RV C_GetFunctionList(CK_FUNCTION_LIST** list) {
  if (list == nullptr) return CKR_ARGUMENTS_BAD;
  static CK_FUNCTION_LIST functions = MakeFunctionList();
  *list = &functions;
  return CKR_OK;
}

KDP_MODULE_EXPORT CK_RV TestModule_Reset() {
  return Locked(
      [](Module& module) {
        for (auto& [handle, session] : module.sessions) session.removed = true;
        for (auto& token : module.readers) token.reset();
        module.aside.clear();
        return CKR_OK;
      },
      true);
}

KDP_MODULE_EXPORT CK_RV TestModule_NewToken(CK_ULONG reader, const TestTokenSpec* spec) {
  if (spec == nullptr || spec->label == nullptr || spec->serial == nullptr || spec->userPin == nullptr ||
      std::strlen(spec->label) > 32 || std::strlen(spec->serial) > 16 || spec->pinTries == 0) {
    return CKR_ARGUMENTS_BAD;
  }
  return Locked(
      [&](Module& module) {
        if (reader >= kTestReaders) return CKR_SLOT_ID_INVALID;
        if (module.readers[reader]) return CKR_FUNCTION_FAILED;
        auto token = std::make_shared<Token>();
        token->label = spec->label;
        token->serial = spec->serial;
        token->pin = Bytes(spec->userPin, std::strlen(spec->userPin));
        token->flags = spec->flags;
        token->pinTries = spec->pinTries;
        token->privateMemory = spec->privateMemory;
        module.readers[reader] = std::move(token);
        return CKR_OK;
      },
      true);
}

KDP_MODULE_EXPORT CK_RV TestModule_Pull(CK_ULONG reader) {
  return Locked(
      [&](Module& module) {
        if (reader >= kTestReaders) return CKR_SLOT_ID_INVALID;
        std::shared_ptr<Token> token = std::move(module.readers[reader]);
        if (!token) return CKR_TOKEN_NOT_PRESENT;
        for (auto& [handle, session] : module.sessions) {
          if (session.token == token) session.removed = true;
        }
        token->loggedIn = false;
        module.aside.push_back(std::move(token));
        return CKR_OK;
      },
      true);
}

KDP_MODULE_EXPORT CK_RV TestModule_Insert(CK_ULONG reader, const char* serial) {
  if (serial == nullptr) return CKR_ARGUMENTS_BAD;
  return Locked(
      [&](Module& module) {
        if (reader >= kTestReaders) return CKR_SLOT_ID_INVALID;
        if (module.readers[reader]) return CKR_FUNCTION_FAILED;
        const auto it = std::find_if(module.aside.begin(), module.aside.end(),
                                     [&](const auto& token) { return token->serial == serial; });
        if (it == module.aside.end()) return CKR_ARGUMENTS_BAD;
        module.readers[reader] = std::move(*it);
        module.aside.erase(it);
        return CKR_OK;
      },
      true);
}

KDP_MODULE_EXPORT CK_RV TestModule_AddObject(CK_ULONG reader, const CK_ATTRIBUTE* attributes, CK_ULONG count) {
  return Locked(
      [&](Module& module) {
        if (reader >= kTestReaders) return CKR_SLOT_ID_INVALID;
        Token* token = module.readers[reader].get();
        if (token == nullptr) return CKR_TOKEN_NOT_PRESENT;
        Object object;
        const CK_RV rv = MakeObject(attributes, count, &object);
        if (rv != CKR_OK) return rv;
        if (!token->HasRoomFor(object)) return CKR_DEVICE_MEMORY;
        object.handle = module.nextObject++;
        token->objects.push_back(std::move(object));
        return CKR_OK;
      },
      true);
}

KDP_MODULE_EXPORT CK_RV TestModule_Busy(CK_ULONG reader, CK_RV answer, CK_ULONG tokenInfoCalls,
                                        CK_ULONG openSessionCalls) {
  return Locked(
      [&](Module& module) {
        if (reader >= kTestReaders) return CKR_SLOT_ID_INVALID;
        Token* token = module.readers[reader].get();
        if (token == nullptr) return CKR_TOKEN_NOT_PRESENT;
        token->busyAnswer = answer;
        token->busyInfo = tokenInfoCalls;
        token->busyOpen = openSessionCalls;
        return CKR_OK;
      },
      true);
}
