#pragma once
// velmora-server run as a child process whose standard output a test reads line by line.

#include <string>
#include <vector>

#include "ChildProcess.h"

namespace velmora::test {

class ServerProcess : public ChildProcess {
public:
    // outputPipeSize, when not 0, shrinks the pipe of stdout to that many bytes.
    explicit ServerProcess(std::vector<std::string> args, int outputPipeSize = 0)
        : ChildProcess(VELMORA_SERVER_PROGRAM, std::move(args), outputPipeSize)
    {
    }
};

}  // namespace velmora::test
