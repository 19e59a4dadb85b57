#pragma once
// The root of every error the system raises: a fixed message text that the operator may see.

#include <initializer_list>
#include <stdexcept>
#include <string>

namespace velmora {

class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
    std::string Message() const { return what(); }
};

// Fills each "%s" of a message pattern, in order, with the given texts.
std::string FormatMessage(const std::string& pattern, std::initializer_list<std::string> args);

}  // namespace velmora
