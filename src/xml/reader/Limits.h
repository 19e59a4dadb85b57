#pragma once
// Every bound that a document, the entities it declares or a remote source can push the XML
// reader against, in one place.

#include <cstddef>
#include <cstdint>

namespace velmora {

// Elements open at once; a start tag one deeper ends the parse.
inline constexpr size_t MaxElementDepth = 100000;
// Inputs stacked by entity references within one another; one more ends the parse.
inline constexpr size_t MaxEntityDepth = 256;
// Groups nested in a content model, and declarations begun inside one another; one more ends the parse.
inline constexpr size_t MaxDeclarationDepth = 128;
// Bytes of replacement text that entity references may always produce.
inline constexpr int64_t EntityExpansionMinBytes = 8ll * 1024 * 1024;
// Bytes of replacement text per byte of input read; expansion stops when it passes both bounds.
inline constexpr int64_t EntityExpansionMaxRatio = 100;
// Seconds a remote source may take to connect.
inline constexpr long XpConnectTimeoutSeconds = 10;
// Seconds a remote source may take to arrive whole, connection included.
inline constexpr long XpFetchTimeoutSeconds = 60;
// Bytes of a remote source; a larger one is refused and its temporary file removed.
inline constexpr size_t MaxRemoteSourceBytes = 256u * 1024 * 1024;

}  // namespace velmora
