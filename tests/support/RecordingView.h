#pragma once
// The window stand-in for the publish controller and the operator's controller: what they showed,
// kept for the test to read, and the log lines taken from the publisher's queue.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "operator/OperatorView.h"
#include "publish/PublishController.h"

namespace velmora::test {

class RecordingView : public IPublishView, public IOperatorView {
public:
    // What the publish controller asks and shows.
    std::optional<std::string> chosen;
    std::string port = "8099";
    std::vector<std::string> shownAddresses;
    std::vector<std::string> errors;
    bool active = false;

    // What the operator's controller shows.
    std::vector<TOperatorAddress> addresses;
    int chosenIndex = -2;
    std::string qrUrl;
    TQrMatrix qr;
    bool qrActive = false;
    std::vector<std::string> checkLines;
    std::vector<TPhoneSnapshot> phones;
    std::optional<bool> reachable;
    std::string reachability;
    std::vector<std::string> hint;
    int hintCalls = 0;

    std::optional<std::string> ChooseScreenFile() override { return chosen; }
    std::string PortText() override { return port; }
    void ShowAddress(const std::string& address) override { shownAddresses.push_back(address); }
    void ShowServerActive() override { active = true; }
    void ShowError(const std::string& text) override { errors.push_back(text); }

    void ShowAddresses(const std::vector<TOperatorAddress>& list, int index) override
    {
        addresses = list;
        chosenIndex = index;
    }
    void ShowQr(const std::string& url, const TQrMatrix& matrix, bool serverActive) override
    {
        qrUrl = url;
        qr = matrix;
        qrActive = serverActive;
    }
    void ShowProjectCheck(const TProjectCheck&, const std::vector<std::string>& lines) override { checkLines = lines; }
    void ShowPhones(const std::vector<TPhoneSnapshot>& list) override { phones = list; }
    void ShowReachability(bool ok, const std::string& text) override
    {
        reachable = ok;
        reachability = text;
    }
    void ShowHint(const std::vector<std::string>& lines) override
    {
        hint = lines;
        ++hintCalls;
    }

    // Every log line the publisher's queue held so far.
    const std::vector<std::string>& log()
    {
        for (auto& line : m_queue->Take())
            m_log.push_back(std::move(line));
        return m_log;
    }
    void attach(TLogQueue& queue) { m_queue = &queue; }

private:
    TLogQueue* m_queue = nullptr;
    std::vector<std::string> m_log;
};

// A started publisher whose log the view reads.
inline std::unique_ptr<TPublishController>
startController(RecordingView& view, TIdIPWatch::TAddressSource addressSource, IPublishListener* listener = nullptr)
{
    auto controller = std::make_unique<TPublishController>(view, listener, std::move(addressSource));
    view.attach(controller->Log());
    controller->Start();
    return controller;
}

}  // namespace velmora::test
