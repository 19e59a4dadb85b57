#pragma once
// The root of every error raised by the network layers, and the root of the errors that end a
// connection quietly (a closed connection is not a fault worth reporting).

#include "base/Exception.h"

namespace velmora {

class EIdException : public Exception {
public:
    using Exception::Exception;
};

class EIdSilentException : public EIdException {
public:
    using EIdException::EIdException;
};

}  // namespace velmora
