#pragma once
// Helpers of the XML reader tests: documents written to a scratch folder, loads, error lines.

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

#include "xml/reader/XpCanonical.h"
#include "xml/reader/XpObjModel.h"

namespace velmora::test {

// A folder of its own per test, removed afterwards.
class ScratchDir {
public:
    ScratchDir()
    {
        auto base = std::filesystem::temp_directory_path();
        for (int i = 0;; ++i) {
            m_path = base / ("velmora-xml-test-" + std::to_string(::getpid()) + "-" + std::to_string(i));
            if (std::filesystem::create_directory(m_path))
                break;
        }
    }
    ~ScratchDir()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    std::string Write(const std::string& name, const std::string& bytes) const
    {
        std::string path = (m_path / name).generic_string();
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    // With "/" between its parts everywhere, as the reader writes locations.
    std::string Path() const { return m_path.generic_string(); }

private:
    std::filesystem::path m_path;
};

inline std::string Canonical(const TXpObjModel& model)
{
    std::ostringstream out;
    XpWriteCanonical(*model.Document(), out);
    return out.str();
}

// The message part of the model's only error line, or the whole line when it has another form.
inline std::string ErrorMessage(const TXpObjModel& model)
{
    if (model.Errors().empty())
        return "";
    const std::string& line = model.Errors().front();
    auto at = line.find(" Error: ");
    return at == std::string::npos ? line : line.substr(at + 8);
}

// "Line: L Col: C" of the model's only error line.
inline std::string ErrorPosition(const TXpObjModel& model)
{
    if (model.Errors().empty())
        return "";
    const std::string& line = model.Errors().front();
    auto from = line.find("Line: ");
    auto to = line.find(" Error: ");
    return from == std::string::npos ? "" : line.substr(from, to - from);
}

}  // namespace velmora::test
