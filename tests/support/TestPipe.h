#pragma once
// A pipe inside the test process, its write end a C library descriptor as a console writer takes
// it. One implementation per platform: TestPipePosix.cpp, TestPipeWindows.cpp.

#include <string>

namespace velmora::test {

class TestPipe {
public:
    TestPipe();
    ~TestPipe();
    TestPipe(const TestPipe&) = delete;
    TestPipe& operator=(const TestPipe&) = delete;

    int writeEnd() const { return m_ends[1]; }
    // What the pipe holds now, without waiting.
    std::string readAvailable();

private:
    int m_ends[2] = {-1, -1};
};

}  // namespace velmora::test
