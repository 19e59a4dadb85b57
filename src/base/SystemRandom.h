#pragma once
// Random bytes from the operating system's generator, fit for session identifiers. One
// implementation per platform: SystemRandomPosix.cpp, SystemRandomWindows.cpp.

#include <cstddef>

namespace velmora {

// Fills the buffer; answers false when the system's generator failed.
bool SystemRandomBytes(void* buffer, size_t size);

}  // namespace velmora
