#pragma once
// Finds this machine's IPv4 address at a fixed interval and reports each change between online
// (a network address) and offline (none, or loopback only). A worker thread of its own does the
// waiting; every check and every event runs on the main thread through its hand-over queue.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/MainThreadQueue.h"
#include "net/IdException.h"
#include "net/IdStack.h"

namespace velmora {

class TIdIPWatch;

// Sleeps in steps of at most 500 ms and hands a check to the main thread after each step.
class TIdIPWatchThread {
public:
    TIdIPWatchThread(TMainThreadQueue& mainThread, std::function<void()> callback, int32_t interval);
    ~TIdIPWatchThread();
    TIdIPWatchThread(const TIdIPWatchThread&) = delete;
    TIdIPWatchThread& operator=(const TIdIPWatchThread&) = delete;

    void Start();
    void SetInterval(int32_t interval) { m_interval = interval; }
    // Asks the thread to end and waits for it on the main thread, serving its hand-overs.
    void TerminateAndWait();

    static constexpr int32_t SleepStep = 500;

private:
    void run();
    // Answers false when the thread was told to end during the sleep.
    bool sleepFor(int32_t milliseconds);

    TMainThreadQueue& m_mainThread;
    std::function<void()> m_callback;
    std::atomic<int32_t> m_interval;
    // Guards m_terminated; m_wakeUp ends a sleep early when it changes.
    std::mutex m_sleepMutex;
    std::condition_variable m_wakeUp;
    bool m_terminated = false;
    std::atomic<bool> m_ended{false};
    std::thread m_thread;
};

class TIdIPWatch {
public:
    // The machine's local address; throws when there is none.
    using TAddressSource = std::function<std::string()>;

    // Asks the socket stack for the first of the machine's local addresses.
    explicit TIdIPWatch(TMainThreadQueue& mainThread);
    TIdIPWatch(TMainThreadQueue& mainThread, TAddressSource source);
    ~TIdIPWatch();
    TIdIPWatch(const TIdIPWatch&) = delete;
    TIdIPWatch& operator=(const TIdIPWatch&) = delete;

    bool Active() const { return m_thread != nullptr; }
    void SetActive(bool active);
    int32_t WatchInterval() const { return m_watchInterval; }
    void SetWatchInterval(int32_t interval);
    int32_t MaxHistoryEntries() const { return m_maxHistoryEntries; }
    void SetMaxHistoryEntries(int32_t entries);
    bool HistoryEnabled = true;
    std::string HistoryFilename = "iphist.dat";

    const std::string& CurrentAddress() const { return m_currentAddress; }
    bool Online() const { return m_online; }
    const std::string& PreviousAddress() const { return m_previousAddress; }
    const std::vector<std::string>& AddressHistory() const { return m_addressHistory; }
    bool LookupBusy() const { return m_lookupBusy; }

    // A fresh lookup of the machine's local address; the source's failure propagates.
    std::string QueryLocalAddress();
    // One check, on the main thread; failures end it silently.
    void PollStatus();
    void RecordHistory(const std::string& address);
    // Writes the history, one address per line, when HistoryEnabled; raises EFCreateError.
    void SaveHistoryFile();

    std::function<void(TIdIPWatch& sender)> OnStatusChanged;

private:
    void pollSteps();

    TIdStackRef m_stack;
    TMainThreadQueue& m_mainThread;
    TAddressSource m_source;
    std::unique_ptr<TIdIPWatchThread> m_thread;
    int32_t m_watchInterval = 1000;
    int32_t m_maxHistoryEntries = 25;
    std::string m_currentAddress;
    bool m_online = false;
    std::string m_previousAddress;
    std::vector<std::string> m_addressHistory;
    bool m_lookupBusy = false;
    int m_onlineStage = 0;
};

class EIdNoLocalAddress : public EIdException {
public:
    using EIdException::EIdException;
};
inline constexpr const char* RSNoLocalAddress = "This machine has no IPv4 address.";

// Whether an address is a network address: neither empty nor in 127.0.0.0/8.
bool IsNetworkAddress(const std::string& address);

}  // namespace velmora
