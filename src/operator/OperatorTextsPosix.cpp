#include "operator/OperatorTexts.h"

namespace velmora {

const char* const SDicaFirewall =
    "- o firewall deixa passar a porta %s: sudo ufw allow %s/tcp ou sudo firewall-cmd --add-port=%s/tcp;";
// Linux networks have no profile that blocks phones.
const char* const SDicaPerfilDeRede = "";

}  // namespace velmora
