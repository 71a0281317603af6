// Text that came from a device, a store or a file, made safe to write to a
// terminal: the one cleaning every tool applies to such text in its output
// for people, and the component to the labels PKCS#11 tokens report. A
// terminal acts on control characters (ESC starts sequences that clear the
// screen, set the window title or answer back), and bidirectional
// formatting characters reorder what is shown, so neither reaches it.
// Machine-readable output (JSON) carries the text exactly instead.
#pragma once

#include "kdplatform/export.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace kdp {

// The size in bytes of the character at the start of text when a terminal
// shows it as it is; 0 when text is empty or starts with a control
// character (U+0000 to U+001F, U+007F to U+009F), a bidirectional
// formatting character (U+061C, U+200E, U+200F, U+202A to U+202E, U+2066 to
// U+2069) or bytes that are not well-formed UTF-8. Allocates nothing, so it
// may look at secret bytes.
KDPLATFORM_API std::size_t PrintableCharacterSize(std::string_view text) noexcept;

// text with each character PrintableCharacterSize refuses replaced by '_':
// one '_' for a refused character, one for each byte that starts no
// well-formed UTF-8 character. Throws std::bad_alloc.
KDPLATFORM_API std::string PrintableText(std::string_view text);

}  // namespace kdp
