// Distinguished names as one line of text, the way OpenSSL's one-line form
// writes them (without its spaces around '='): "C=DE, O=Example, CN=a",
// attributes of one relative name joined by " + ", short names where there
// are any, else the dotted identifier. Values are UTF-8; a value holding ,
// + < > ; or starting with ' ' or '#' or ending with ' ' is put in quotes,
// '"' and '\' get a backslash, control characters are written \XX, and a
// value of a type that holds no text is written '#' and its encoding in hex.
#pragma once

#include "der_reader.h"

#include <string>

namespace kdcli {

std::string NameText(const der::Name& name);

}  // namespace kdcli
