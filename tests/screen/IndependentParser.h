#pragma once
// An XML parser that is not ours, to check what the writer makes: xmllint on POSIX systems
// (IndependentParserPosix.cpp); none on Windows (IndependentParserWindows.cpp).

#include <optional>
#include <string>

namespace velmora::test {

// Whether the independent parser takes the document as well-formed; none when there is none here.
std::optional<bool> IndependentParserAccepts(const std::string& xml);

}  // namespace velmora::test
