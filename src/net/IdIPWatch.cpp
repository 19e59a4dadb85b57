#include "net/IdIPWatch.h"

#include <algorithm>

#include "base/Stream.h"

namespace velmora {

using namespace std::chrono_literals;

bool IsNetworkAddress(const std::string& address)
{
    return !address.empty() && address.rfind("127.", 0) != 0;
}

TIdIPWatchThread::TIdIPWatchThread(TMainThreadQueue& mainThread, std::function<void()> callback, int32_t interval)
    : m_mainThread(mainThread), m_callback(std::move(callback)), m_interval(interval)
{
}

TIdIPWatchThread::~TIdIPWatchThread()
{
    if (m_thread.joinable())
        TerminateAndWait();
}

void TIdIPWatchThread::Start()
{
    m_thread = std::thread([this] { run(); });
}

bool TIdIPWatchThread::sleepFor(int32_t milliseconds)
{
    std::unique_lock lock(m_sleepMutex);
    return !m_wakeUp.wait_for(lock, std::chrono::milliseconds(milliseconds), [&] { return m_terminated; });
}

void TIdIPWatchThread::run()
{
    for (;;) {
        int32_t remaining = m_interval;
        if (remaining <= 0) {
            if (!sleepFor(SleepStep))
                break;
            continue;
        }
        bool terminated = false;
        while (remaining > 0 && !terminated) {
            int32_t step = std::min(remaining, SleepStep);
            terminated = !sleepFor(step);
            remaining -= step;
            if (!terminated)
                m_mainThread.Synchronize(m_callback);
        }
        if (terminated)
            break;
    }
    m_ended = true;
    m_mainThread.Wake();
}

void TIdIPWatchThread::TerminateAndWait()
{
    {
        std::lock_guard lock(m_sleepMutex);
        m_terminated = true;
    }
    m_wakeUp.notify_all();
    while (!m_mainThread.WaitWhileServing([&] { return m_ended.load(); }, 1s)) {}
    m_thread.join();
}

TIdIPWatch::TIdIPWatch(TMainThreadQueue& mainThread)
    : TIdIPWatch(mainThread, [this] {
          std::string address = m_stack.stack().localAddress();
          if (address.empty())
              throw EIdNoLocalAddress(RSNoLocalAddress);
          return address;
      })
{
}

TIdIPWatch::TIdIPWatch(TMainThreadQueue& mainThread, TAddressSource source)
    : m_mainThread(mainThread), m_source(std::move(source))
{
}

TIdIPWatch::~TIdIPWatch()
{
    if (m_online)
        RecordHistory(m_currentAddress);
    SetActive(false);
    try {
        SaveHistoryFile();
    } catch (const Exception&) {
        // A history that cannot be written is lost with the watch; nothing reads it back.
    }
}

void TIdIPWatch::SetActive(bool active)
{
    if (active == Active())
        return;
    if (active) {
        m_thread = std::make_unique<TIdIPWatchThread>(
            m_mainThread, [this] { PollStatus(); }, m_watchInterval);
        m_thread->Start();
    } else {
        m_thread->TerminateAndWait();
        m_thread.reset();
    }
}

void TIdIPWatch::SetWatchInterval(int32_t interval)
{
    m_watchInterval = interval;
    if (m_thread)
        m_thread->SetInterval(interval);
}

void TIdIPWatch::SetMaxHistoryEntries(int32_t entries)
{
    m_maxHistoryEntries = entries;
    while (!m_addressHistory.empty() && m_addressHistory.size() > static_cast<size_t>(std::max(entries, 0)))
        m_addressHistory.erase(m_addressHistory.begin());
}

std::string TIdIPWatch::QueryLocalAddress()
{
    m_lookupBusy = true;
    try {
        std::string address = m_source();
        m_lookupBusy = false;
        return address;
    } catch (...) {
        m_lookupBusy = false;
        throw;
    }
}

void TIdIPWatch::PollStatus()
{
    if (m_lookupBusy)
        return;
    try {
        pollSteps();
    } catch (...) {
        // A failed lookup, or a failing event handler, ends this check; the next one tries again.
    }
}

void TIdIPWatch::pollSteps()
{
    const bool wasOnline = m_online;
    const std::string old = m_currentAddress;
    m_currentAddress = QueryLocalAddress();
    m_online = IsNetworkAddress(m_currentAddress);
    if (wasOnline && !m_online) {
        if (IsNetworkAddress(old))
            m_previousAddress = old;
        RecordHistory(m_previousAddress);
    }
    if (!wasOnline && m_online) {
        if (m_onlineStage == 0)
            m_onlineStage = 1;
        if (m_onlineStage == 1 && m_previousAddress == m_currentAddress) {
            if (!m_addressHistory.empty())
                m_addressHistory.pop_back();
            m_previousAddress = m_addressHistory.empty() ? std::string() : m_addressHistory.back();
        }
        m_onlineStage = 2;
    }
    if (wasOnline != m_online && OnStatusChanged)
        OnStatusChanged(*this);
}

void TIdIPWatch::RecordHistory(const std::string& address)
{
    if (!IsNetworkAddress(address))
        return;
    if (!m_addressHistory.empty() && m_addressHistory.back() == address)
        return;
    m_addressHistory.push_back(address);
    if (m_addressHistory.size() > static_cast<size_t>(std::max(m_maxHistoryEntries, 0)))
        m_addressHistory.erase(m_addressHistory.begin());
}

void TIdIPWatch::SaveHistoryFile()
{
    if (!HistoryEnabled)
        return;
    TFileStream file(HistoryFilename, TFileStream::fmCreate);
    for (const auto& address : m_addressHistory)
        file.WriteString(address + "\n");
}

}  // namespace velmora
