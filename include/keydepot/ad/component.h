// The access-device component's interfaces, class ids and exports.
//
// The library reaches devices only through the component "nodyx" (nodyx.dll on
// Windows, nodyx.so elsewhere), loaded at run time from the library's own
// folder. Its objects are COM-style: slots 0 to 2 are QueryInterface, AddRef
// and Release, results are HRESULTs (negative = failure). Each interface below
// lists its operations in slot order; slots named ReservedN are placeholders
// that keep the numbering and answer E_NOTIMPL.
//
// Buffers without a size argument: the component promises never to write more
// than the sizes below (terminator included), and the library always passes
// at least that much.
//
// Size queries (device identifier, identifier from text) run twice: size 0
// and no buffer, which succeeds with the needed size set, then a zeroed buffer
// of that size. A buffer that is too small gets
// HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER) and the needed size; the
// bytes written never exceed the size passed in.
//
// Ownership: an out-parameter interface pointer carries one reference for the
// receiver, who releases it. Interface pointers passed in are borrowed for the
// call.
#pragma once

#include "kdplatform/api_types.h"
#include "kdplatform/com_base.h"
#include "kdplatform/com_ptr.h"

#include <cstdint>

namespace keydepot {
// The one reference holder (kdplatform/com_ptr.h).
using kdp::ComPtr;
}  // namespace keydepot

// Device-type number defined by the component; 0 means no type.
enum EAD_DeviceType : std::int32_t { EAD_DeviceType_None = 0 };

// Largest texts the component writes into caller buffers, terminator included.
inline constexpr DWORD AD_NAME_BUFFER = 256;    // type, display, system and item names
inline constexpr DWORD AD_ID_TEXT_BUFFER = 64;  // identifier text (IAD_DeviceType 17, IAD_Device 4)
inline constexpr DWORD AD_PATH_BUFFER = 260;    // default container (IAD_Device 23)

// Class objects handed out by "GetClassObject" (used directly as the named
// interface, not as class factories).
inline constexpr CLSID CLSID_ADDeviceMgr = {
    0x3DE0A6D9, 0x9BDD, 0x405C, {0x88, 0x37, 0x3F, 0x7B, 0x75, 0x63, 0x15, 0xFF}};
inline constexpr CLSID CLSID_ADDeviceTypeMgr = {
    0xBBD58AE3, 0x5418, 0x49B3, {0xA3, 0xEC, 0x4B, 0x01, 0xA3, 0xA4, 0x30, 0xB4}};

inline constexpr IID IID_IAD_DeviceMgr = {0xCC1C6F7A, 0x0B25, 0x4332, {0xAA, 0x22, 0x7D, 0xB3, 0x49, 0xE3, 0x1B, 0xED}};
inline constexpr IID IID_IAD_DeviceTypeMgr = {
    0x5C63438D, 0x8FEA, 0x45C7, {0xAD, 0x62, 0x96, 0xA5, 0x14, 0x07, 0x1B, 0x71}};
inline constexpr IID IID_IAD_CryptoDevice = {
    0xCA682E7E, 0xA030, 0x452E, {0x92, 0x7E, 0xAE, 0x06, 0x75, 0x17, 0x91, 0xE3}};
inline constexpr IID IID_IAD_KeyStorage = {
    0xA524281B, 0xE889, 0x4CF0, {0x97, 0x8C, 0xF6, 0x5B, 0x8B, 0x18, 0xBF, 0xB6}};
inline constexpr IID IID_IAD_EnumDevice = {
    0x286D2FA1, 0xFE46, 0x4308, {0xB3, 0xBE, 0xA3, 0xF0, 0x04, 0x97, 0x28, 0x5A}};

// Interface ids chosen by this component family.
inline constexpr IID IID_IAD_Device = {0x15A9A4D9, 0x20EC, 0x49DF, {0xAC, 0xC2, 0x97, 0xDA, 0x19, 0xF9, 0xC1, 0xAD}};
inline constexpr IID IID_IAD_DeviceType = {
    0x13D00833, 0x3797, 0x4FF0, {0xA1, 0x73, 0x01, 0x40, 0xE8, 0x7A, 0x3A, 0x28}};
inline constexpr IID IID__IAD_DeviceMgrEvents = {
    0x1C267432, 0x0602, 0x410D, {0xA3, 0x76, 0xFC, 0xAB, 0xE4, 0xD4, 0x9A, 0xD4}};
inline constexpr IID IID_IAD_EnumContainers = {
    0xA007D0A8, 0x9B0C, 0x4D78, {0x9B, 0x22, 0xC9, 0xBD, 0xF7, 0x92, 0x41, 0xC5}};
inline constexpr IID IID_IAD_Container = {0x90FD190C, 0xDBC0, 0x4726, {0xBC, 0xE8, 0xB3, 0xCF, 0xFF, 0xBC, 0x7F, 0x1D}};
inline constexpr IID IID_IAD_EnumStorageItems = {
    0xA75730F0, 0xB5E8, 0x4230, {0xA5, 0x6C, 0x4F, 0xC6, 0xF8, 0x55, 0x20, 0x11}};
inline constexpr IID IID_IAD_StorageItem = {
    0x7BD8C80C, 0xEC1B, 0x4A0D, {0xB6, 0x0C, 0x2A, 0x22, 0xD9, 0xFA, 0xB4, 0x6B}};

KDP_INTERFACE IAD_Device;
KDP_INTERFACE IAD_DeviceType;

// Device type: number, name and the identifier text form of one type.
KDP_INTERFACE IAD_DeviceType : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetType(EAD_DeviceType * type) = 0;              // 3
  virtual HRESULT STDMETHODCALLTYPE GetTypeName(char* name /*AD_NAME_BUFFER*/) = 0;  // 4
  virtual HRESULT STDMETHODCALLTYPE Reserved5() = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved6() = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved7() = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved8() = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved9() = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved10() = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved11() = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved12() = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved13() = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved14() = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved15() = 0;
  // 16: a display name for the device with this identifier.
  virtual HRESULT STDMETHODCALLTYPE GetDisplayName(DWORD idSize, const BYTE* id, char* name /*AD_NAME_BUFFER*/) = 0;
  // 17: identifier bytes to text; the text never holds '\' or '|'.
  virtual HRESULT STDMETHODCALLTYPE IdToText(DWORD idSize, const BYTE* id, char* text /*AD_ID_TEXT_BUFFER*/) = 0;
  // 18: text to identifier bytes (size query convention); inverse of 17.
  virtual HRESULT STDMETHODCALLTYPE TextToId(const char* text, DWORD* idSize, BYTE* id) = 0;
};

// Device-type manager: the type table and the device-type filter. Also
// answers IPersistFile, whose Load and Save read and write the filter file.
KDP_INTERFACE IAD_DeviceTypeMgr : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Reserved3() = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved4() = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved5() = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved6() = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved7() = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved8() = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDeviceType(EAD_DeviceType type, IAD_DeviceType * *out) = 0;  // 9
};

// Container of a crypto device (enumerated or opened by IAD_CryptoDevice).
KDP_INTERFACE IAD_Container : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Reserved3() = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved4() = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved5() = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved6() = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved7() = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved8() = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved9() = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved10() = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved11() = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved12() = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved13() = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved14() = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved15() = 0;
  virtual HRESULT STDMETHODCALLTYPE GetName(char* name /*AD_NAME_BUFFER*/) = 0;  // 16
};

// Item of a device's key storage.
KDP_INTERFACE IAD_StorageItem : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetName(char* name /*AD_NAME_BUFFER*/) = 0;  // 3
};

KDP_INTERFACE IAD_EnumContainers : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Next(ULONG count, IAD_Container * *items, ULONG * fetched) = 0;  // 3
  virtual HRESULT STDMETHODCALLTYPE Skip(ULONG count) = 0;                                           // 4
  virtual HRESULT STDMETHODCALLTYPE Reset() = 0;                                                     // 5
  virtual HRESULT STDMETHODCALLTYPE Clone(IAD_EnumContainers * *out) = 0;                            // 6
};

KDP_INTERFACE IAD_EnumStorageItems : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Next(ULONG count, IAD_StorageItem * *items, ULONG * fetched) = 0;  // 3
  virtual HRESULT STDMETHODCALLTYPE Skip(ULONG count) = 0;                                             // 4
  virtual HRESULT STDMETHODCALLTYPE Reset() = 0;                                                       // 5
  virtual HRESULT STDMETHODCALLTYPE Clone(IAD_EnumStorageItems * *out) = 0;                            // 6
};

// One attached device.
KDP_INTERFACE IAD_Device : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetID(DWORD * idSize, BYTE * id) = 0;               // 3 (size query)
  virtual HRESULT STDMETHODCALLTYPE GetIDText(char* text /*AD_PATH_BUFFER*/) = 0;       // 4
  virtual HRESULT STDMETHODCALLTYPE GetDeviceType(IAD_DeviceType * *out) = 0;           // 5
  virtual HRESULT STDMETHODCALLTYPE GetDisplayName(char* name /*AD_NAME_BUFFER*/) = 0;  // 6
  virtual HRESULT STDMETHODCALLTYPE GetSystemName(char* name /*AD_NAME_BUFFER*/) = 0;   // 7
  virtual HRESULT STDMETHODCALLTYPE Reserved8() = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved9() = 0;
  virtual HRESULT STDMETHODCALLTYPE GetSizeValue(DWORD * value) = 0;  // 10
  virtual HRESULT STDMETHODCALLTYPE GetRoom(DWORD * value) = 0;       // 11
  virtual HRESULT STDMETHODCALLTYPE PresentPIN(const char* pin) = 0;  // 12
  virtual HRESULT STDMETHODCALLTYPE Reserved13() = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved14() = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved15() = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved16() = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved17() = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved18() = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved19() = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved20() = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved21() = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved22() = 0;
  // 23: default container name; *size is the buffer's size in, the name's
  // size (terminator included) out.
  virtual HRESULT STDMETHODCALLTYPE GetDefaultContainer(DWORD * size, char* name /*AD_PATH_BUFFER*/) = 0;
};

KDP_INTERFACE IAD_EnumDevice : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Next(ULONG count, IAD_Device * *devices, ULONG * fetched) = 0;  // 3
  virtual HRESULT STDMETHODCALLTYPE Skip(ULONG count) = 0;                                          // 4
  virtual HRESULT STDMETHODCALLTYPE Reset() = 0;                                                    // 5
  virtual HRESULT STDMETHODCALLTYPE Clone(IAD_EnumDevice * *out) = 0;                               // 6
};

// Named items of a device that is not a crypto device (queried from IAD_Device).
KDP_INTERFACE IAD_KeyStorage : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Reserved3() = 0;
  // 4: *count is the buffer's capacity in and the item's size out; an item
  // that does not fit gives a success with *count >= the capacity.
  virtual HRESULT STDMETHODCALLTYPE Read(IAD_Device * device, const char* name, BYTE* buffer, DWORD* count) = 0;
  virtual HRESULT STDMETHODCALLTYPE Write(IAD_Device * device, const char* name, const BYTE* data,
                                          DWORD* count) = 0;                                          // 5
  virtual HRESULT STDMETHODCALLTYPE Delete(IAD_Device * device, const char* name) = 0;                // 6
  virtual HRESULT STDMETHODCALLTYPE Exists(IAD_Device * device, const char* name, BOOL* exists) = 0;  // 7
  virtual HRESULT STDMETHODCALLTYPE Reserved8() = 0;
  virtual HRESULT STDMETHODCALLTYPE EnumItems(IAD_EnumStorageItems * *out) = 0;  // 9
};

// Key containers of a crypto device (queried from IAD_Device).
KDP_INTERFACE IAD_CryptoDevice : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Reserved3() = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved4() = 0;
  // 5: *out stays null when the container does not exist.
  virtual HRESULT STDMETHODCALLTYPE OpenContainer(IAD_Device * device, const char* name, IAD_Container** out) = 0;
  virtual HRESULT STDMETHODCALLTYPE EnumContainers(IAD_Device * device, IAD_EnumContainers * *out) = 0;  // 6
  virtual HRESULT STDMETHODCALLTYPE GetFlag(IAD_Device * device, int* flag) = 0;                         // 7
};

// Event sink an interactive session hands to the device manager.
KDP_INTERFACE _IAD_DeviceMgrEvents : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE DeviceArrived(IAD_Device * device) = 0;  // 3
  virtual HRESULT STDMETHODCALLTYPE DeviceRemoved(IAD_Device * device) = 0;  // 4
};

// Device manager: the devices of one session.
KDP_INTERFACE IAD_DeviceMgr : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Initialize(IAD_DeviceTypeMgr * typeMgr, bool flag) = 0;  // 3
  virtual HRESULT STDMETHODCALLTYPE Uninitialize() = 0;                                      // 4
  virtual HRESULT STDMETHODCALLTYPE Refresh() = 0;                                           // 5
  virtual HRESULT STDMETHODCALLTYPE Reserved6() = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved7() = 0;
  // 8: a collection object that answers IAD_EnumDevice.
  virtual HRESULT STDMETHODCALLTYPE EnumDevices(IUnknown * *collection) = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved9() = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved10() = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved11() = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved12() = 0;
  virtual HRESULT STDMETHODCALLTYPE Advise(_IAD_DeviceMgrEvents * sink, DWORD * cookie) = 0;  // 13
  virtual HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) = 0;                               // 14
};

KDP_DECLARE_IID(IAD_DeviceMgr, IID_IAD_DeviceMgr);
KDP_DECLARE_IID(IAD_DeviceTypeMgr, IID_IAD_DeviceTypeMgr);
KDP_DECLARE_IID(IAD_DeviceType, IID_IAD_DeviceType);
KDP_DECLARE_IID(IAD_Device, IID_IAD_Device);
KDP_DECLARE_IID(IAD_EnumDevice, IID_IAD_EnumDevice);
KDP_DECLARE_IID(IAD_KeyStorage, IID_IAD_KeyStorage);
KDP_DECLARE_IID(IAD_CryptoDevice, IID_IAD_CryptoDevice);
KDP_DECLARE_IID(IAD_Container, IID_IAD_Container);
KDP_DECLARE_IID(IAD_StorageItem, IID_IAD_StorageItem);
KDP_DECLARE_IID(IAD_EnumContainers, IID_IAD_EnumContainers);
KDP_DECLARE_IID(IAD_EnumStorageItems, IID_IAD_EnumStorageItems);
KDP_DECLARE_IID(_IAD_DeviceMgrEvents, IID__IAD_DeviceMgrEvents);

// The component's exports, looked up by name.
extern "C" {
using PFN_AD_GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID classId, REFIID iid, void** object);
using PFN_AD_CanUnloadNow = HRESULT(STDAPICALLTYPE*)(void);
}
#define AD_EXPORT_GET_CLASS_OBJECT "GetClassObject"
#define AD_EXPORT_CAN_UNLOAD_NOW "CanUnloadNow"
#define AD_EXPORT_DLL_CAN_UNLOAD_NOW "DllCanUnloadNow"
