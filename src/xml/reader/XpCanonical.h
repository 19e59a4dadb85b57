#pragma once
// Writes a loaded tree in the canonical form of the W3C XML test suites: no declaration, no
// document type but its notations, attributes sorted, special characters as references, UTF-8.

#include <ostream>

#include "xml/reader/XpDOM.h"

namespace velmora {

void XpWriteCanonical(const TXpDocument& document, std::ostream& out);

}  // namespace velmora
