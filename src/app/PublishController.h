#pragma once
// The logic behind the window: the publish sequence of "Iniciar" (load the screen file, write and
// read back the manifest, start the server, show the address), the server's addresses as the
// address watch reports changes, and the components the handlers run on. Free of any toolkit:
// the window, or the headless server, supplies an IPublishView.

#include <memory>
#include <optional>
#include <string>

#include "app/LogQueue.h"
#include "base/MainThreadQueue.h"
#include "handlers/ConversationPage.h"
#include "handlers/PublicationState.h"
#include "handlers/RequestRouter.h"
#include "http/IdHTTPServer.h"
#include "net/IdIPWatch.h"
#include "screen/Types_Velm.h"
#include "xml/reader/XpObjModel.h"

namespace velmora {

class EPortInvalid : public Exception {
public:
    using Exception::Exception;
};
class EScreenUnreadable : public Exception {
public:
    using Exception::Exception;
};

// What the window provides; every call comes on the main thread. The log reaches the view through
// the controller's Log() queue, which any thread appends to.
class IPublishView {
public:
    virtual ~IPublishView() = default;
    // The screen file the operator chose, as a full path; none when the choice was cancelled.
    virtual std::optional<std::string> ChooseScreenFile() = 0;
    virtual std::string PortText() = 0;
    virtual void ShowAddress(const std::string& address) = 0;
    virtual void ShowServerActive() = 0;
    virtual void ShowError(const std::string& text) = 0;
};

class TPublishController {
public:
    // Creates the components; nothing runs until Start(). Without an address source the watch
    // asks the socket stack.
    explicit TPublishController(IPublishView& view, TIdIPWatch::TAddressSource addressSource = {});
    // Stops the watch, then the server with every session.
    ~TPublishController();
    TPublishController(const TPublishController&) = delete;
    TPublishController& operator=(const TPublishController&) = delete;

    // Starts the address watch, whose checks run when the main thread serves MainThread(). The
    // view sets MainThread().OnPending and Log().OnPending first: from here on other threads call
    // them.
    void Start();
    // The start button: the publish sequence, any error shown through the view.
    void ButtonIniciarClick();
    // The publish sequence; raises the error of the step that failed, which leaves what earlier
    // steps did.
    void Publish();
    // The watch's event: the addresses from a fresh lookup and the port.
    void IdIPWatch1StatusChanged(TIdIPWatch& sender);
    // Exit's first step: the screen model and the three addresses are released; no connection
    // thread reads them.
    void ReleasePublication();
    // The exit order: the watch first, then the server with every session ended.
    void Shutdown();

    TMainThreadQueue& MainThread() { return m_mainThread; }
    TLogQueue& Log() { return m_log; }
    TIdHTTPServer& IdHTTPServer1() { return *m_server; }
    TIdIPWatch& IdIPWatch1() { return *m_watch; }
    const TPublicationState& State() const { return m_state; }
    const TMenu_Geral& ScreenMenus() const { return m_screenMenus; }
    const std::string& ServerAddress() const { return m_serverAddress; }
    const std::string& ServerUrl() const { return m_serverUrl; }
    const std::string& ImagesUrl() const { return m_imagesUrl; }

private:
    void composeAddresses(const std::string& localAddress, const std::string& port);
    // The port the server listens on now, or will listen on once started.
    int listeningPort(int requested);

    IPublishView& m_view;
    TMainThreadQueue m_mainThread;
    TLogQueue m_log;
    TPublicationState m_state;
    TMenu_Geral m_screenMenus;
    std::string m_serverAddress, m_serverUrl, m_imagesUrl;
    TXpObjModel m_aObjModel;
    TConversationPage m_page{m_state};
    TRequestRouter m_router;
    std::unique_ptr<TIdHTTPServer> m_server;
    std::unique_ptr<TIdIPWatch> m_watch;
};

// The port box's text as a port: the integer conversion's error for text that is not an integer,
// EPortInvalid for one outside 1 to 65535.
int PortFromText(const std::string& text);

// The folder part of a path, up to and including its last separator; empty for a bare name.
std::string FolderOf(const std::string& path);

// The error report's text: the message with "." appended when its last character sorts after ".".
std::string ErrorReportText(const std::string& message);

}  // namespace velmora
