// What the two device back-ends share: finding a device by type, the PIN,
// Storage and Identifier steps, and reading a stored record. Every step
// returns its failing result and leaves its out-parameters as they were; the
// operations end with FinishOperation, which leaves HResult2ToolsErr of a
// failure in the last-error store.
#pragma once

#include "keydepot/ad/component.h"
#include "keydepot/cert_info.h"
#include "storage/record_buffer.h"
#include "kdplatform/return_if_failed.h"

#include <functional>
#include <string>

namespace keydepot {

// The first device of the session whose type is the wanted type: type itself
// for 101, else type rounded down to a multiple of 100. Never throws.
// STG_E_FILENOTFOUND when none; TooErr2HResult(TOOERR_NO_SESSION) without a usable session.
HRESULT FindDeviceByType(DWORD session, DWORD type, IAD_Device** out);

namespace detail {
// The end of a device operation: true for a success; a failure leaves
// HResult2ToolsErr of it in the last-error store and gives false.
bool FinishOperation(HRESULT result);
}  // namespace detail

// Finds a back-end's device in a session.
using DeviceFinder = std::function<HRESULT(DWORD session, ComPtr<IAD_Device>& device)>;
// Runs after an operation changed the device; its failure fails the operation.
using AfterChange = std::function<HRESULT()>;

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
// The steps of a device load: finds the device, presents the PIN, sets the
// record's deviceId and reads the named item into buffer (ReadItem).
HRESULT ReadItemOnDevice(const DeviceFinder& find, const std::string& item, CertInfo* record, RecordBuffer& buffer,
                         DWORD& count);

// Presents the record's PIN when it has one.
HRESULT PresentPin(IAD_Device* device, const CertInfo* record);
// The device's IAD_KeyStorage; E_NOINTERFACE when it has none.
HRESULT KeyStorageOf(IAD_Device* device, ComPtr<IAD_KeyStorage>& storage);
// The device's identifier bytes.
HRESULT IdentifierOf(IAD_Device* device, IdentObj& id);
// Reads the named item into buffer, growing it until the item fits; count is
// the item's byte count.
HRESULT ReadItem(IAD_KeyStorage* storage, IAD_Device* device, const std::string& name, RecordBuffer& buffer,
                 DWORD& count);
// Compares the record's size with the room the device reports (slot 11).
HRESULT CheckRoom(IAD_Device* device, const CertInfo* record);
// Writes the record's data as a device record under name.
HRESULT WriteItem(IAD_KeyStorage* storage, IAD_Device* device, const std::string& name, const CertInfo* record);
// The record's data becomes count - 4 bytes behind the length (empty when
// count is 4 or less).
void SetPayload(CertInfo* record, RecordBuffer& buffer, DWORD count);

}  // namespace keydepot
