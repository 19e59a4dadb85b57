#pragma once
// Ends the sessions of a list that were idle longer than its time-out, once per interval; when it
// stops, it ends every session.

#include "http/IdThread.h"
#include "http/Limits.h"

namespace velmora {

class TIdHTTPCustomSessionList;

class TIdHTTPSessionCleanerThread : public TIdThread {
public:
    TIdHTTPSessionCleanerThread(TIdHTTPCustomSessionList& sessions, int intervalMs = IdSessionCleanInterval)
        : m_sessions(sessions), m_intervalMs(intervalMs)
    {
    }
    ~TIdHTTPSessionCleanerThread() override;

protected:
    void run() override;
    void cleanup() override;

private:
    TIdHTTPCustomSessionList& m_sessions;
    int m_intervalMs;
};

}  // namespace velmora
