#pragma once
// The operator's window: port box, "Iniciar", status lamp and text, address, log and instructions in
// one fixed area at its top-left, and the operator's panel to its right. It is the view of the
// publish session: the publish controller and the operator's controller do the work.

#include <QDialog>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

#include "app/OperatorPanel.h"
#include "base/Clock.h"
#include "operator/PublishSession.h"
#include "publish/FormSupport.h"

class QFileDialog;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace velmora {

class TShape;

// How the window runs its modal dialogs (the file dialog, the error box): exec() by default; tests
// answer them without a modal loop.
using TExecuteDialog = std::function<int(QDialog& dialog)>;

class TForm1 : public QWidget, private IPublishView {
    Q_OBJECT

public:
    // Creates the controls and the components and starts the address watch. Without an address
    // source the watch asks the socket stack; without an interface source the operator's panel reads
    // the machine's interfaces. The clock times the panel's checks and the phones.
    explicit TForm1(TIdIPWatch::TAddressSource addressSource = {}, TExecuteDialog executeDialog = {},
                    TInterfaceSource interfaces = {}, const TClock& clock = TClock::system());
    // Runs the exit order (Shutdown) before any control goes.
    ~TForm1() override;

    // The size of the area that holds the port box, the lamp, the log and the instructions.
    static constexpr int ClientWidth = StoredClientWidth;
    static constexpr int ClientHeight = StoredClientHeight;
    static constexpr int LeftPosition = StoredLeft;
    static constexpr int TopPosition = StoredTop;
    // The window's client area: that area and the operator's panel to its right.
    static constexpr int WindowWidth = ClientWidth + OperatorPanelWidth;
    static constexpr int WindowHeight = ClientHeight;
    // The log is shown in batches at most this often, however fast lines arrive.
    static constexpr int LogRepaintIntervalMs = 200;

    // The panel's ticks stopped, then the session's exit order. Answers whether all of it ended in
    // order; a failure is reported on stderr and stops nothing else, so the process still ends
    // normally.
    bool Shutdown();

    TPublishController& Controller() { return m_session->Publisher(); }
    TOperatorController& Operator() { return *m_session->Operator(); }

private:
    void createControls();
    void createComponents();
    void setTabOrder();
    void connectOperator();

    void ButtonIniciarClick();
    void Button1Click();
    void chooseAddress(const QString& address);
    void scheduleLogDrain();
    void drainLog();

    // IPublishView, on the window's thread.
    std::optional<std::string> ChooseScreenFile() override;
    std::string PortText() override;
    void ShowAddress(const std::string& address) override;
    void ShowServerActive() override;
    void ShowError(const std::string& text) override;

    TExecuteDialog m_executeDialog;
    QLabel* m_label1 = nullptr;
    QLabel* m_label5 = nullptr;
    TShape* m_shape1 = nullptr;
    QPushButton* m_button1 = nullptr;
    QLineEdit* m_editPort = nullptr;
    QPushButton* m_buttonIniciar = nullptr;
    QPlainTextEdit* m_memo1 = nullptr;
    QPlainTextEdit* m_memo2 = nullptr;
    TOperatorPanel* m_panel = nullptr;
    QFileDialog* m_openDialogScreen = nullptr;
    QTimer m_logDrain;
    QTimer m_operatorTick;
    std::unique_ptr<TPublishSession> m_session;
};

}  // namespace velmora
