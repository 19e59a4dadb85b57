#include <windows.h>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <io.h>

#include "TestPipe.h"

namespace velmora::test {

TestPipe::TestPipe()
{
    EXPECT_EQ(::_pipe(m_ends, 65536, _O_BINARY), 0);
}

TestPipe::~TestPipe()
{
    ::_close(m_ends[0]);
    ::_close(m_ends[1]);
}

std::string TestPipe::readAvailable()
{
    std::string text;
    HANDLE pipe = reinterpret_cast<HANDLE>(::_get_osfhandle(m_ends[0]));
    char buffer[65536];
    DWORD available = 0;
    while (::PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
        DWORD got = 0;
        if (!::ReadFile(pipe, buffer, std::min<DWORD>(available, sizeof buffer), &got, nullptr) || got == 0)
            break;
        text.append(buffer, got);
    }
    return text;
}

}  // namespace velmora::test
