#include "operator/OperatorTexts.h"

namespace velmora {

const char* const SDicaFirewall =
    "- o Firewall do Windows Defender deixa passar a porta %s em redes privadas (no Prompt de Comando "
    "como administrador: netsh advfirewall firewall add rule name=\"Velmora porta %s\" dir=in "
    "action=allow protocol=TCP localport=%s profile=private);";
const char* const SDicaPerfilDeRede =
    "- a rede deste computador tem o perfil Privado: com o perfil Público o Windows bloqueia os aparelhos "
    "(Configurações > Rede e Internet > Wi-Fi ou Ethernet > Tipo de perfil de rede);";

}  // namespace velmora
