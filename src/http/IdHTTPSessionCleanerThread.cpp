#include "http/IdHTTPSessionCleanerThread.h"

#include "http/IdHTTPSessionList.h"

namespace velmora {

TIdHTTPSessionCleanerThread::~TIdHTTPSessionCleanerThread()
{
    waitFor();
}

void TIdHTTPSessionCleanerThread::run()
{
    sleepUnlessTerminated(m_intervalMs);
    m_sessions.EndIdleSessions(terminated());
    if (terminated())
        stop();
}

void TIdHTTPSessionCleanerThread::cleanup()
{
    m_sessions.EndIdleSessions(true);
}

}  // namespace velmora
