#pragma once
// Errors of the XML reader: decoding errors carry the byte position, syntax errors the file
// location; both carry the line and column where the parse stopped.

#include <cstdint>
#include <string>

#include "base/Exception.h"

namespace velmora {

class EXpException : public Exception {
public:
    using Exception::Exception;
};

class EXpStreamError : public EXpException {
public:
    using EXpException::EXpException;
};

class EXpFilterError : public EXpStreamError {
public:
    EXpFilterError(const std::string& message, int64_t position, int line, int column)
        : EXpStreamError(message), m_position(position), m_line(line), m_column(column)
    {
    }
    int64_t Position() const { return m_position; }
    int Line() const { return m_line; }
    int Column() const { return m_column; }

private:
    int64_t m_position;
    int m_line;
    int m_column;
};

class EXpParserError : public EXpFilterError {
public:
    EXpParserError(const std::string& message, const std::string& fileLocation, int line, int column)
        : EXpFilterError(message, 0, line, column), m_fileLocation(fileLocation)
    {
    }
    const std::string& FileLocation() const { return m_fileLocation; }

private:
    std::string m_fileLocation;
};

// A failed tree operation; the code says which rule was broken, the message stays empty.
class TXpDOMException : public Exception {
public:
    static constexpr uint8_t HIERARCHY_REQUEST_ERR = 3;
    static constexpr uint8_t WRONG_DOCUMENT_ERR = 4;
    static constexpr uint8_t INVALID_CHARACTER_ERR = 5;
    static constexpr uint8_t INVALID_ACCESS_ERR = 11;

    explicit TXpDOMException(uint8_t code) : Exception(""), m_code(code) {}
    uint8_t Code() const { return m_code; }

private:
    uint8_t m_code;
};

}  // namespace velmora
