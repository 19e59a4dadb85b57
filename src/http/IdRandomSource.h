#pragma once
// Where session identifiers get their randomness: the system's secure source by default, so that
// nobody on the network can predict another client's session; tests give a source of their own.

#include <cstddef>
#include <mutex>

#include "net/IdException.h"

namespace velmora {

class EIdRandomSourceFailed : public EIdException {
public:
    using EIdException::EIdException;
};

inline constexpr const char* RSRandomSourceFailed = "The system's random source failed.";

class TIdRandomSource {
public:
    virtual ~TIdRandomSource() = default;
    // Fills the buffer; throws EIdRandomSourceFailed when no randomness can be had.
    virtual void fill(void* buffer, size_t size) = 0;

    static TIdRandomSource& system();
};

// Draws from the system's source a block at a time, so that an identifier costs no system call.
class TIdSystemRandom : public TIdRandomSource {
public:
    void fill(void* buffer, size_t size) override;

private:
    // Guards m_pool and m_poolLeft.
    std::mutex m_poolMutex;
    unsigned char m_pool[4096];
    size_t m_poolLeft = 0;
};

}  // namespace velmora
