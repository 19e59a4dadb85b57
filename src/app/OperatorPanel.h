#pragma once
// The operator's panel beside the window's own controls: the address for the phone with the QR code
// and URL of the page that proves the phone reaches the computer, whether the server is reachable,
// the project check, each phone's import and what to check when no phone arrives. It shows what the
// operator's controller reports and passes on two choices.

#include <QList>
#include <QString>
#include <QWidget>

#include "base/Clock.h"
#include "operator/OperatorView.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QTableWidget;

namespace velmora {

class TQrCodeView;

class TOperatorPanel : public QWidget, public IOperatorView {
    Q_OBJECT

public:
    static constexpr int PanelWidth = OperatorPanelWidth;
    static constexpr int QrSide = OperatorQrSide;
    using enum TPhoneColumn;

    // The clock is the one the phones' times come from; it turns them into times of day.
    explicit TOperatorPanel(const TClock& clock, QWidget* parent = nullptr);

    // The controls that take focus, in the order Tab visits them.
    QList<QWidget*> FocusOrder() const;
    bool RepublishOnSave() const;

    void ShowAddresses(const std::vector<TOperatorAddress>& addresses, int chosen) override;
    void ShowQr(const std::string& url, const TQrMatrix& matrix, bool serverActive) override;
    void ShowProjectCheck(const TProjectCheck& check, const std::vector<std::string>& lines) override;
    void ShowPhones(const std::vector<TPhoneSnapshot>& phones) override;
    void ShowReachability(bool reachable, const std::string& text) override;
    void ShowHint(const std::vector<std::string>& lines) override;

Q_SIGNALS:
    // The operator picked this address in the list.
    void addressChosen(const QString& address);
    void republishOnSaveToggled(bool on);

private:
    QWidget* createAddressColumn();
    QWidget* createProjectColumn();
    void showPhone(int row, const TPhoneSnapshot& phone);
    QString timeOfDay(TClock::time_point moment) const;

    const TClock& m_clock;
    QComboBox* m_comboEndereco = nullptr;
    TQrCodeView* m_qrCode = nullptr;
    QLabel* m_labelPagina = nullptr;
    QLabel* m_labelAcessivel = nullptr;
    QCheckBox* m_checkRepublicar = nullptr;
    QLabel* m_labelVerificacao = nullptr;
    QListWidget* m_listaProblemas = nullptr;
    QTableWidget* m_tabelaAparelhos = nullptr;
    QLabel* m_labelDica = nullptr;
};

}  // namespace velmora
