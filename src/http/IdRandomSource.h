#pragma once
// Where session identifiers get their randomness: the system's secure source by default, so that
// nobody on the network can predict another client's session; tests give a source of their own.

#include <cstddef>

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

class TIdSystemRandom : public TIdRandomSource {
public:
    void fill(void* buffer, size_t size) override;
};

}  // namespace velmora
