#include "operator/PhoneTracker.h"

#include <algorithm>
#include <optional>

#include "base/Exception.h"
#include "handlers/ConnectionPage.h"
#include "net/IdStack.h"
#include "operator/OperatorTexts.h"

namespace velmora {

namespace {

// Four dotted decimal bytes, as peers' addresses are written; none for any other text.
std::optional<uint32_t> dottedAddress(const std::string& text)
{
    return std::count(text.begin(), text.end(), '.') == 3 ? TIdStack::tryTextToAddress(text) : std::nullopt;
}

// IPv4 addresses in numeric order (127.0.0.2 before 127.0.0.10); anything else after them, by text.
bool addressBefore(const std::string& a, const std::string& b)
{
    const std::optional<uint32_t> first = dottedAddress(a), second = dottedAddress(b);
    if (first && second)
        return *first < *second;
    if (first.has_value() != second.has_value())
        return first.has_value();
    return a < b;
}

}  // namespace

TPhoneTracker::TPhoneTracker(const TClock& clock, size_t maxPhones) : m_clock(clock), m_maxPhones(maxPhones)
{
}

void TPhoneTracker::SetManifest(std::shared_ptr<const TManifestIndex> manifest)
{
    std::lock_guard lock(m_phonesMutex);
    m_manifest = std::move(manifest);
}

void TPhoneTracker::Record(const TServedRequest& request)
{
    if (request.OwnCheck || request.Method == "HEAD")
        return;
    const TClock::time_point now = m_clock.now();
    const std::string key = RequestPathKey(request.Path);
    const bool served = request.StatusCode == 200 && request.Completed;

    std::lock_guard lock(m_phonesMutex);
    Phone& phone = phoneFor(request.Peer, now);
    m_changed = true;
    phone.last = now;
    phone.bytes += request.Bytes;
    if (request.StatusCode == 404 && !IsBrowserOwnRequest(request.Path))
        ++phone.notFound;
    if (served && IsManifestRequest(request.Path, key) && m_manifest) {
        startImport(phone, now);
        phone.importBytes = request.Bytes;
        return;
    }
    if (!phone.manifest)
        return;
    phone.importBytes += request.Bytes;
    if (phone.state == TPhoneState::Incomplete) {
        phone.state = TPhoneState::Importing;
        phone.pendingReport.reset();
    }
    if (!served)
        return;
    if (auto entry = phone.manifest->FindKey(key))
        markServed(phone, *entry, now);
}

void TPhoneTracker::PageOpened(std::string_view peer)
{
    const TClock::time_point now = m_clock.now();
    std::lock_guard lock(m_phonesMutex);
    Phone& phone = phoneFor(peer, now);
    m_changed = true;
    phone.last = now;
    if (phone.state == TPhoneState::Connected)
        phone.state = TPhoneState::Reached;
}

TPhoneTracker::Phone& TPhoneTracker::phoneFor(std::string_view peer, TClock::time_point now)
{
    std::string address(peer);
    auto found = m_phones.find(address);
    if (found != m_phones.end())
        return found->second;
    if (m_phones.size() >= m_maxPhones && !m_phones.empty()) {
        auto idlest = std::min_element(m_phones.begin(), m_phones.end(),
                                       [](const auto& a, const auto& b) { return a.second.last < b.second.last; });
        m_phones.erase(idlest);
    }
    Phone& phone = m_phones[std::move(address)];
    phone.last = now;
    return phone;
}

void TPhoneTracker::startImport(Phone& phone, TClock::time_point now)
{
    phone.manifest = m_manifest;
    phone.served.assign(phone.manifest->size(), false);
    phone.servedCount = 0;
    phone.importStarted = phone.importEnded = now;
    phone.pendingReport.reset();
    phone.state = phone.manifest->size() == 0 ? TPhoneState::Complete : TPhoneState::Importing;
}

void TPhoneTracker::markServed(Phone& phone, size_t entry, TClock::time_point now)
{
    if (phone.served[entry])
        return;
    phone.served[entry] = true;
    ++phone.servedCount;
    phone.importEnded = now;
    if (phone.servedCount == phone.served.size() && phone.state != TPhoneState::Complete) {
        phone.state = TPhoneState::Complete;
        phone.pendingReport = TPhoneReport::TKind::Complete;
    }
}

TPhoneChanges TPhoneTracker::Collect()
{
    struct Copy {
        std::string address;
        Phone phone;
        std::optional<TPhoneReport::TKind> report;
    };
    std::vector<Copy> copies;
    {
        const TClock::time_point now = m_clock.now();
        std::lock_guard lock(m_phonesMutex);
        for (auto& [address, phone] : m_phones) {
            if (phone.state == TPhoneState::Importing && now - phone.last >= PhoneIdleLimit) {
                phone.state = TPhoneState::Incomplete;
                phone.pendingReport = TPhoneReport::TKind::Incomplete;
                m_changed = true;
            }
        }
        if (!m_changed)
            return {};
        m_changed = false;
        for (auto& [address, phone] : m_phones) {
            copies.push_back({address, phone, phone.pendingReport});
            phone.pendingReport.reset();
        }
    }
    // The names of missing files are looked up outside the lock: a manifest may be long.
    TPhoneChanges changes;
    changes.Changed = true;
    std::sort(copies.begin(), copies.end(),
              [](const Copy& a, const Copy& b) { return addressBefore(a.address, b.address); });
    for (const Copy& copy : copies) {
        changes.Phones.push_back(snapshotOf(copy.address, copy.phone));
        if (copy.report)
            changes.Reports.push_back({*copy.report, changes.Phones.back()});
    }
    return changes;
}

TPhoneSnapshot TPhoneTracker::snapshotOf(const std::string& address, const Phone& phone)
{
    TPhoneSnapshot snapshot;
    snapshot.Address = address;
    snapshot.State = phone.state;
    snapshot.Served = phone.servedCount;
    snapshot.Listed = phone.served.size();
    snapshot.Bytes = phone.bytes;
    snapshot.ImportBytes = phone.importBytes;
    snapshot.NotFound = phone.notFound;
    snapshot.LastRequest = phone.last;
    const auto end = phone.state == TPhoneState::Complete ? phone.importEnded : phone.last;
    snapshot.ImportTime = std::chrono::duration_cast<std::chrono::milliseconds>(end - phone.importStarted);
    snapshot.MissingCount = phone.served.size() - phone.servedCount;
    for (size_t i = 0; i < phone.served.size() && snapshot.Missing.size() < MaxMissingNamesShown; ++i)
        if (!phone.served[i])
            snapshot.Missing.push_back(phone.manifest->Entries()[i].Name);
    return snapshot;
}

const char* PhoneStateName(TPhoneState state)
{
    switch (state) {
    case TPhoneState::Connected:
        return "conectado";
    case TPhoneState::Reached:
        return "alcançou (navegador)";
    case TPhoneState::Importing:
        return "importando";
    case TPhoneState::Complete:
        return "completo";
    case TPhoneState::Incomplete:
        return "incompleto";
    }
    return "";
}

std::string PhoneReportLine(const TPhoneReport& report)
{
    const TPhoneSnapshot& phone = report.Phone;
    if (report.Kind == TPhoneReport::TKind::Complete)
        return FormatMessage(SImportacaoCompleta,
                             {phone.Address, std::to_string(phone.Listed), FormatSize(phone.ImportBytes),
                              FormatSeconds(phone.ImportTime)});
    return FormatMessage(SImportacaoIncompleta, {phone.Address, std::to_string(phone.MissingCount)});
}

std::string PhoneProgressText(const TPhoneSnapshot& phone)
{
    return phone.Listed == 0 ? std::string() : std::to_string(phone.Served) + "/" + std::to_string(phone.Listed);
}

std::string PhoneMissingText(const TPhoneSnapshot& phone)
{
    // Appended piece by piece: GCC 12 warns falsely (-Wrestrict) on a literal joined to a string.
    std::string text;
    for (const std::string& name : phone.Missing) {
        if (!text.empty())
            text += '\n';
        text += name;
    }
    if (phone.MissingCount > phone.Missing.size()) {
        text += '\n';
        text += FormatMessage(SMaisArquivos, {std::to_string(phone.MissingCount - phone.Missing.size())});
    }
    return text;
}

}  // namespace velmora
