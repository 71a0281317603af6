// Conversions between identifier bytes and the component's text form, through
// a device-type filter opened on "c:\absent_file" for each conversion.
#pragma once

#include "keydepot/ad/device_path.h"

#include <string_view>

namespace keydepot::detail {

// The fixed filter file name used only to reach a device-type manager; it
// does not exist, so the filter is the component's default.
inline constexpr const char kAbsentFilterFile[] = "c:\\absent_file";

// Buffer handed to the component for identifier texts. The component promises
// at most AD_ID_TEXT_BUFFER bytes; the margin keeps a component that breaks the
// promise slightly from overrunning anything.
inline constexpr DWORD kIdTextBufferSize = 256;
static_assert(kIdTextBufferSize >= AD_ID_TEXT_BUFFER);

// Identifier bytes to text (type object slot 17). Returns the slot's result;
// *text is set only on success. A filter that cannot be opened throws `long`.
HRESULT IdentifierToText(EAD_DeviceType type, const ad::DeviceId& id, std::string& text);
// The same into `text`, terminated; its contents are unspecified on failure.
HRESULT IdentifierToText(EAD_DeviceType type, const ad::DeviceId& id, char (&text)[kIdTextBufferSize]);

// Text to identifier bytes (type object slot 18, size query then fill).
// Returns false, leaving *id untouched, when any call fails. A filter that
// cannot be opened throws `long`.
bool TextToIdentifier(EAD_DeviceType type, std::string_view text, ad::DeviceId& id);

}  // namespace keydepot::detail
