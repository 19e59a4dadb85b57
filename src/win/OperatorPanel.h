#pragma once
// The operator's panel in native controls, right of the window's stored area: the address for the
// phone with the QR code and URL of the connection page, whether the server is reachable, "Republicar
// ao salvar", the project check, each phone's import in a report list and what to check when no phone
// arrives. It shows what the operator's controller reports, passes on the operator's two choices,
// and keeps the computer awake while a phone imports.

#include <windows.h>

#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "base/Clock.h"
#include "operator/OperatorView.h"
#include "win/Controls.h"

namespace velmora {

class TOperatorPanel : public IOperatorView {
public:
    static constexpr int PanelWidth = OperatorPanelWidth;
    static constexpr int QrSide = OperatorQrSide;
    using enum TPhoneColumn;

    enum TControlId : int {
        IdLabelEnderecoParaOIphone = 201,
        IdComboEndereco,
        IdQrCode,
        IdLabelPagina,
        IdLabelAcessivel,
        IdCheckRepublicar,
        IdLabelVerificacao,
        IdListaProblemas,
        IdLabelAparelhos,
        IdTabelaAparelhos,
        IdLabelDica,
        IdSeparador,
    };

    // Creates the controls as children of window, after the window's own. The clock is the one the
    // phones' times come from.
    TOperatorPanel(HWND window, const TClock& clock);
    ~TOperatorPanel() override;
    TOperatorPanel(const TOperatorPanel&) = delete;
    TOperatorPanel& operator=(const TOperatorPanel&) = delete;

    // Places the controls for the window's DPI, right of the stored area.
    void Place(const TDpiScale& scale, const TFont& font);
    // The window's messages that concern the panel's controls; answers whether it handled one.
    bool Handle(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    bool RepublishOnSave() const;
    // The operator picked this address in the list; toggled the republish box.
    std::function<void(const std::string& address)> OnAddressChosen;
    std::function<void(bool on)> OnRepublishToggled;

    void ShowAddresses(const std::vector<TOperatorAddress>& addresses, int chosen) override;
    void ShowQr(const std::string& url, const TQrMatrix& matrix, bool serverActive) override;
    void ShowProjectCheck(const TProjectCheck& check, const std::vector<std::string>& lines) override;
    void ShowPhones(const std::vector<TPhoneSnapshot>& phones) override;
    void ShowReachability(bool reachable, const std::string& text) override;
    void ShowHint(const std::vector<std::string>& lines) override;

private:
    HWND control(int id) const { return GetDlgItem(m_window, id); }
    void layout();
    void drawQr(const DRAWITEMSTRUCT& item) const;
    void drawInactive(HDC dc, const RECT& area) const;
    LRESULT customDrawPhones(NMLVCUSTOMDRAW& draw) const;
    void drawProgress(const NMLVCUSTOMDRAW& draw) const;
    void showPhone(int row, const TPhoneSnapshot& phone);
    std::string timeOfDay(TClock::time_point moment) const;
    void keepAwake(bool importing);

    HWND m_window;
    const TClock& m_clock;
    TDpiScale m_scale;
    TFont m_bold;
    std::vector<std::string> m_addressValues;
    std::string m_qrUrl;
    TQrMatrix m_qr;
    bool m_serverActive = false;
    bool m_reachable = false;
    std::vector<TPhoneSnapshot> m_phones;
    bool m_keptAwake = false;
};

}  // namespace velmora
