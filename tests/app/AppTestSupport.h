#pragma once
// A window stand-in that records what the publish controller shows, and a temporary project made from
// the fixture screen files.

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

#include "app/PublishController.h"

namespace velmora::test {

class RecordingView : public IPublishView {
public:
    std::optional<std::string> chosen;
    std::string port = "8099";
    std::vector<std::string> addresses;
    std::vector<std::string> errors;
    bool active = false;

    std::optional<std::string> ChooseScreenFile() override { return chosen; }
    std::string PortText() override { return port; }
    void ShowAddress(const std::string& address) override { addresses.push_back(address); }
    void ShowServerActive() override { active = true; }
    void ShowError(const std::string& text) override { errors.push_back(text); }

    // Every log line the controller wrote so far.
    std::vector<std::string> log()
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

// A started controller whose log the view reads.
inline std::unique_ptr<TPublishController> startController(RecordingView& view,
                                                           TIdIPWatch::TAddressSource addressSource)
{
    auto controller = std::make_unique<TPublishController>(view, std::move(addressSource));
    view.attach(controller->Log());
    controller->Start();
    return controller;
}

// A project folder holding the fixture screen files under their own names.
inline std::filesystem::path makeProject(const std::string& name)
{
    auto folder = std::filesystem::temp_directory_path() / ("velmora-app-" + std::to_string(::getpid()) + "-" + name);
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder / "Images");
    for (const auto& entry : std::filesystem::directory_iterator(VELMORA_TEST_DATA))
        std::filesystem::copy_file(entry.path(), folder / entry.path().filename());
    return folder;
}

}  // namespace velmora::test
