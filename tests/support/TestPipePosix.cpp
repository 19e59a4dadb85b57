#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include "TestPipe.h"

namespace velmora::test {

TestPipe::TestPipe()
{
    EXPECT_EQ(::pipe(m_ends), 0);
}

TestPipe::~TestPipe()
{
    ::close(m_ends[0]);
    ::close(m_ends[1]);
}

std::string TestPipe::readAvailable()
{
    std::string text;
    char buffer[65536];
    pollfd ready{m_ends[0], POLLIN, 0};
    while (::poll(&ready, 1, 0) > 0) {
        ssize_t got = ::read(m_ends[0], buffer, sizeof buffer);
        if (got <= 0)
            break;
        text.append(buffer, static_cast<size_t>(got));
    }
    return text;
}

}  // namespace velmora::test
