#pragma once
// The logic behind the window: the publish sequence of "Iniciar" (load the screen file, write and
// read back the manifest, start the server, show the address), the server's addresses as the
// address watch reports changes, and the components the handlers run on. Free of any toolkit:
// the window, or the headless server, supplies an IPublishView.

#include <chrono>
#include <exception>
#include <memory>
#include <optional>
#include <string>

#include "base/MainThreadQueue.h"
#include "handlers/ConversationPage.h"
#include "handlers/PublicationState.h"
#include "handlers/RequestRouter.h"
#include "http/IdHTTPServer.h"
#include "net/IdIPWatch.h"
#include "publish/LogQueue.h"
#include "publish/PublishListener.h"
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
    // Creates the components; nothing runs until Start(). The listener, when given, hears of every
    // step from then on and must outlive the server's activity. Without an address source the
    // watch asks the socket stack.
    explicit TPublishController(IPublishView& view, IPublishListener* listener = nullptr,
                                TIdIPWatch::TAddressSource addressSource = {});
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
    // The exit order: the watch first, then the server with every session ended, waiting for its
    // connection threads no longer than TerminateWaitTime and no later than connectionsBy.
    void Shutdown(std::chrono::steady_clock::time_point connectionsBy = std::chrono::steady_clock::time_point::max());

    // The publish sequence with this screen file and no dialog, as a press of "Iniciar" that
    // chose it; raises the error of the step that failed.
    void PublishFile(const std::string& screenFile);
    // The screen file of the last publish that ran to its end; empty before.
    const std::string& ScreenFile() const { return m_screenFile; }
    // Composes the addresses again (the address moved). Once a publish has shown the address, it
    // shows the new one and, while the server is active, rewrites the manifest of the last
    // publish with it, in one step as every publish does, and reads it back as the page template.
    // Raises the manifest's write or read error with the addresses already composed.
    void Readdress();

    TMainThreadQueue& MainThread() { return m_mainThread; }
    TLogQueue& Log() { return m_log; }
    TIdHTTPServer& IdHTTPServer1() { return *m_server; }
    TIdIPWatch& IdIPWatch1() { return *m_watch; }
    const TPublicationState& State() const { return m_state; }
    const TMenu_Geral& ScreenMenus() const { return m_screenMenus; }
    const std::string& ServerAddress() const { return m_serverAddress; }
    const std::string& ServerUrl() const { return m_serverUrl; }
    const std::string& ImagesUrl() const { return m_imagesUrl; }
    // The two parts of ServerAddress: the local address, empty when there is none, and the port
    // text it was composed with.
    const std::string& ServerHost() const { return m_serverHost; }
    const std::string& ServerPort() const { return m_serverPort; }
    // The port the server listens on; 0 while it is inactive.
    int ListeningPort() const;
    // What this run's own checks of the server send in OwnCheckHeader, so that the router keeps
    // them out of the log.
    const std::string& OwnCheckToken() const { return m_ownCheckToken; }

private:
    void publishSequence(int port, const std::string& chosenFile);
    void composeAddresses(const std::string& localAddress, const std::string& port);
    // The local address a publish composes with: the chosen one, else a fresh lookup that keeps
    // only a network address.
    std::string addressForPublish();
    // The port the addresses carry: the listening one while active, else the port box's text.
    std::string portForAddresses();
    // The port the server listens on now, or will listen on once started.
    int listeningPort(int requested) const;

    IPublishView& m_view;
    IPublishListener* const m_listener;
    TMainThreadQueue m_mainThread;
    TLogQueue m_log;
    TPublicationState m_state;
    TMenu_Geral m_screenMenus;
    std::string m_serverHost, m_serverPort, m_serverAddress, m_serverUrl, m_imagesUrl;
    // What the running publication was made from, for rewriting its manifest when the address moves.
    TMenu_Geral m_publishedMenus;
    std::string m_screenFile;
    bool m_addressShown = false;
    const std::string m_ownCheckToken = NewOwnCheckToken();
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
