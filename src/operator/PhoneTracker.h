#pragma once
// Follows each phone's import from the server's own request events: which of the files its
// manifest lists it has been served, the bytes, the 404s and when it last asked. Connection threads
// record under a small lock; the main thread collects the changes on its tick.

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "operator/Limits.h"
#include "base/Clock.h"
#include "operator/ManifestIndex.h"

namespace velmora {

enum class TPhoneState {
    Connected,  // asked for something, but not for the manifest yet
    Reached,  // opened the connection page in its browser, and has not fetched the manifest yet
    Importing,  // fetched the manifest and is fetching the files
    Complete,  // was served every file its manifest lists
    Incomplete,  // went idle before that
};

struct TPhoneSnapshot {
    std::string Address;
    TPhoneState State = TPhoneState::Connected;
    size_t Served = 0;  // distinct listed files served since its manifest
    size_t Listed = 0;  // distinct files its manifest lists
    uint64_t Bytes = 0;  // every body byte sent to it
    uint64_t ImportBytes = 0;  // since its manifest, the manifest included
    size_t NotFound = 0;
    TClock::time_point LastRequest{};
    // From the manifest to the last file served (or the last request, while not complete).
    std::chrono::milliseconds ImportTime{0};
    size_t MissingCount = 0;
    std::vector<std::string> Missing;  // the first MaxMissingNamesShown names not yet served

    bool operator==(const TPhoneSnapshot&) const = default;
};

// A change of state that the log announces.
struct TPhoneReport {
    enum class TKind { Complete, Incomplete };
    TKind Kind = TKind::Complete;
    TPhoneSnapshot Phone;
};

// What one finished request came to.
struct TServedRequest {
    std::string_view Peer;
    std::string_view Method;
    std::string_view Path;  // decoded, as requested
    int StatusCode = 0;
    uint64_t Bytes = 0;  // body bytes that went out
    bool Completed = false;
    bool OwnCheck = false;  // one of this program's own checks of its server
};

struct TPhoneChanges {
    bool Changed = false;  // when set, Phones holds every phone
    std::vector<TPhoneSnapshot> Phones;
    std::vector<TPhoneReport> Reports;
};

class TPhoneTracker {
public:
    explicit TPhoneTracker(const TClock& clock = TClock::system(), size_t maxPhones = MaxTrackedPhones);

    // The manifest that phones fetching it from now on import; none before the first publish.
    void SetManifest(std::shared_ptr<const TManifestIndex> manifest);

    // Any thread. This program's own checks and replies to HEAD move nothing: they come from no
    // phone, or fetch no file. A 404 for what a browser asks for by itself counts no 404.
    void Record(const TServedRequest& request);
    // Any thread: the client at peer opened the connection page; one that has not fetched the
    // manifest has reached this computer.
    void PageOpened(std::string_view peer);

    // Main thread: marks importing phones idle past PhoneIdleLimit incomplete and answers what
    // changed since the last call, the phones in the order of their addresses.
    TPhoneChanges Collect();

private:
    struct Phone {
        TPhoneState state = TPhoneState::Connected;
        std::shared_ptr<const TManifestIndex> manifest;
        std::vector<bool> served;
        size_t servedCount = 0;
        uint64_t bytes = 0, importBytes = 0;
        size_t notFound = 0;
        TClock::time_point last{}, importStarted{}, importEnded{};
        // A change of state that the next Collect reports.
        std::optional<TPhoneReport::TKind> pendingReport;
    };

    Phone& phoneFor(std::string_view peer, TClock::time_point now);
    void startImport(Phone& phone, TClock::time_point now);
    void markServed(Phone& phone, size_t entry, TClock::time_point now);
    static TPhoneSnapshot snapshotOf(const std::string& address, const Phone& phone);

    const TClock& m_clock;
    const size_t m_maxPhones;
    // Guards m_manifest, m_phones and m_changed; held only to update counts, never while calling out.
    std::mutex m_phonesMutex;
    std::shared_ptr<const TManifestIndex> m_manifest;
    std::unordered_map<std::string, Phone> m_phones;
    bool m_changed = false;
};

// "importando", "completo", "incompleto", "conectado" or "alcançou (navegador)".
const char* PhoneStateName(TPhoneState state);

// The log's line for a report.
std::string PhoneReportLine(const TPhoneReport& report);

// The table's progress, "N/M"; empty before the phone fetched a manifest.
std::string PhoneProgressText(const TPhoneSnapshot& phone);

// The names of the files the phone still lacks, one per line, and how many more when the list was
// cut at MaxMissingNamesShown; the tooltip of an incomplete phone.
std::string PhoneMissingText(const TPhoneSnapshot& phone);

}  // namespace velmora
