// What the two device back-ends share: finding a device by type, the PIN,
// Storage and Identifier steps, and reading a stored record. Every step
// throws a failing result as `long`; the operations catch it at their end
// and leave HResult2ToolsErr of it in the last-error store.
#pragma once

#include "keydepot/ad/component.h"
#include "keydepot/cert_info.h"
#include "storage/record_buffer.h"
#include "throw_if_failed.h"

#include <functional>
#include <string>

namespace keydepot {

// The first device of the session whose type is the wanted type: type itself
// for 101, else type rounded down to a multiple of 100. Never throws.
// STG_E_FILENOTFOUND when none; TooErr2HResult(TOOERR_NO_SESSION) without a usable session.
HRESULT FindDeviceByType(DWORD session, DWORD type, IAD_Device** out);

namespace detail {
// Stores HResult2ToolsErr of a failure code in the last-error store.
void StoreFailure(long code);
}  // namespace detail

// Finds a back-end's device in a session; throws on failure.
using DeviceFinder = std::function<ComPtr<IAD_Device>(DWORD session)>;
// Runs after an operation changed the device; throws on failure.
using AfterChange = std::function<void()>;

// The operations both device back-ends share. Each resets the last-error
// store where the back-ends do, and stores the failure that ends it.
bool SaveItemOnDevice(const DeviceFinder& find, const std::string& item, const CertInfo* record,
                      const AfterChange& afterChange = {});
bool DeleteItemOnDevice(const DeviceFinder& find, const std::string& item, const CertInfo* record,
                        const AfterChange& afterChange = {});
// The device's size value (slot 10); the value held when a failure ends it.
DWORD SizeValueOfDevice(const DeviceFinder& find, const CertInfo* record);
// The identifier of the device, found in a session of its own.
IdentObj IdentifierInOwnSession(const DeviceFinder& find);

// Presents the record's PIN when it has one.
void PresentPin(IAD_Device* device, const CertInfo* record);
// The device's IAD_KeyStorage; E_NOINTERFACE when it has none.
ComPtr<IAD_KeyStorage> KeyStorageOf(IAD_Device* device);
// The device's identifier bytes.
IdentObj IdentifierOf(IAD_Device* device);
// Reads the named item into buffer, growing it until the item fits; returns
// the item's byte count.
DWORD ReadItem(IAD_KeyStorage* storage, IAD_Device* device, const std::string& name, RecordBuffer& buffer);
// Compares the record's size with the room the device reports (slot 11).
void CheckRoom(IAD_Device* device, const CertInfo* record);
// Writes the record's data as a device record under name.
void WriteItem(IAD_KeyStorage* storage, IAD_Device* device, const std::string& name, const CertInfo* record);
// The record's data becomes count - 4 bytes behind the length (empty when
// count is 4 or less).
void SetPayload(CertInfo* record, RecordBuffer& buffer, DWORD count);

}  // namespace keydepot
