#pragma once
// What the operator's panel shows, without a toolkit: the window's panel and velmora-server's
// console implement it. Every call comes on the main thread; the log lines that go with each go
// through the publish controller's log.

#include <string>
#include <vector>

#include "operator/AddressChoice.h"
#include "operator/PhoneTracker.h"
#include "operator/ProjectCheck.h"
#include "operator/QrCode.h"

namespace velmora {

// What both windows' panels share: their width right of the window's stored area, the QR code's
// side (room for a code of up to 41 modules, version 6, at 4 pixels, and of the usual address's 29
// or 33 at 6 or 5: large enough for a phone's camera held before the screen), and the phones'
// table's columns with their headers.
inline constexpr int OperatorPanelWidth = 660;
inline constexpr int OperatorQrSide = 180;
enum TPhoneColumn : int {
    ColumnAparelho,
    ColumnEstado,
    ColumnProgresso,
    ColumnDados,
    ColumnNotFound,
    ColumnUltimoPedido
};
inline constexpr const char* PhoneColumnHeaders[] = {"Aparelho", "Estado", "Progresso",
                                                     "Dados",    "404s",   "Último pedido"};

class IOperatorView {
public:
    virtual ~IOperatorView() = default;
    // The machine's addresses in the list's order, and the index of the one that composes the
    // server's address now (-1 when none does).
    virtual void ShowAddresses(const std::vector<TOperatorAddress>& addresses, int chosen) = 0;
    // The QR code of url, the connection page's ("http://" + ServerAddress + "/velmora") unless the
    // project answers that path; both empty when there is no address. Until the server is active
    // nothing answers the code, and the view says so.
    virtual void ShowQr(const std::string& url, const TQrMatrix& matrix, bool serverActive) = 0;
    // The check of the project being published, with the summary and problem lines as logged.
    virtual void ShowProjectCheck(const TProjectCheck& check, const std::vector<std::string>& lines) = 0;
    // Every phone seen, sorted by address, whenever one of them changed.
    virtual void ShowPhones(const std::vector<TPhoneSnapshot>& phones) = 0;
    // Whether the server answered through the chosen address, and the line that says so.
    virtual void ShowReachability(bool reachable, const std::string& text) = 0;
    // What to check when no phone reaches the server; empty lines take it away.
    virtual void ShowHint(const std::vector<std::string>& lines) = 0;
};

}  // namespace velmora
