#pragma once
// The operator's texts: what the panel and the log say about addresses, the QR code, the project,
// the phones, reachability and the port, and the two number formats they share.

#include <chrono>
#include <cstdint>
#include <string>

namespace velmora {

// The panel's captions.
inline constexpr const char* SServidorInativoNoQr = "Servidor inativo";
inline constexpr const char* SEnderecoParaOIphone = "Endereço para o iPhone:";
inline constexpr const char* SAparelhos = "Aparelhos";
inline constexpr const char* SRepublicarAoSalvar = "Republicar ao salvar";

// Under the terminal's QR code.
inline constexpr const char* SLegendaDoQr =
    "Aponte a câmera do iPhone para o código, ou abra %s no Safari: a página diz se o iPhone alcança este "
    "computador.";

inline constexpr const char* SEnderecoMudou = "Endereço mudou: %s → %s. Digite o novo endereço no iPhone.";
inline constexpr const char* SVerificacaoDoProjeto = "Verificação do projeto: %s arquivos, %s.";
inline constexpr const char* SArquivoAusente = "Arquivo ausente: %s";
inline constexpr const char* SDiferencaDeMaiusculas = "Diferença de maiúsculas: %s (no disco: %s)";
inline constexpr const char* SManifestoIlegivel = "Não foi possível ler o manifesto: %s";
inline constexpr const char* SImportacaoCompleta = "Aparelho %s: importação completa (%s arquivos, %s em %s s).";
inline constexpr const char* SMaisArquivos = "(mais %s)";
inline constexpr const char* SImportacaoIncompleta = "Aparelho %s: importação incompleta, faltam %s arquivos.";
inline constexpr const char* SServidorAcessivel = "Servidor acessível em %s.";
inline constexpr const char* SServidorInacessivel = "Servidor inacessível em %s: %s.";
inline constexpr const char* SRedePublica =
    "A rede de %s tem o perfil Público, em que o Firewall do Windows bloqueia os aparelhos: mude-a para "
    "Privada (Configurações > Rede e Internet > %s > Tipo de perfil de rede).";
inline constexpr const char* SServidorOcupado = "Servidor ocupado em %s: todas as conexões estão em uso.";
inline constexpr const char* SSemEnderecoDeRede =
    "Nenhum endereço de rede neste computador: o iPhone não tem como chegar ao servidor.";
inline constexpr const char* SConexaoRecusada = "conexão recusada";
inline constexpr const char* SSemResposta = "sem resposta em %s s";
inline constexpr const char* SOutroProgramaRespondeu = "outro programa respondeu";
inline constexpr const char* SRespostaInvalida = "resposta que não é HTTP";
inline constexpr const char* SProjetoAtualizado = "Projeto atualizado: %s arquivos.";
inline constexpr const char* SRepublicacaoFalhou = "Falha ao republicar: %s";
inline constexpr const char* SManifestoNaoReescrito = "Não foi possível reescrever o manifesto: %s";
inline constexpr const char* SPortaEmUsoPor = "A porta %s está em uso por %s.";
inline constexpr const char* SOutraCopia = "outra cópia deste programa";
inline constexpr const char* SOutroPrograma = "outro programa";
inline constexpr const char* SProcesso = "%s (%s, processo %s)";
inline constexpr const char* SProximaPortaLivre = "Próxima porta livre: %s.";
inline constexpr const char* SSemPortaLivre = "Nenhuma porta livre entre %s e %s.";
inline constexpr const char* SSemPermissaoPorta = "Sem permissão para usar a porta %s; use uma porta acima de 1023.";
inline constexpr const char* SConexoesNaoTerminaram =
    "Conexões que não terminaram a tempo: %s; o programa termina sem esperar por elas.";
inline constexpr const char* SEnderecoNaoLocal =
    "O endereço %s não pertence a este computador; veja os endereços com --list-addresses.";

// What to check when no other machine has reached the server a while after a publish.
inline constexpr const char* SDicaTitulo = "Nenhum aparelho acessou o servidor em %s s. Verifique:";
inline constexpr const char* SDicaPagina =
    "- primeiro, leia o código QR com a câmera do iPhone (ou abra %s no Safari): se a página não abrir, a "
    "causa é a rede (firewall, rede de convidados, isolamento de clientes), não o iVelmora;";
inline constexpr const char* SDicaRede =
    "- o iPhone está na mesma rede Wi-Fi que este computador (não numa rede de convidados, sem isolamento "
    "de clientes);";
// How this system's firewall lets the port through (its three %s are the port), and what else of
// this system to check; OperatorTextsPosix.cpp and OperatorTextsWindows.cpp.
extern const char* const SDicaFirewall;
extern const char* const SDicaPerfilDeRede;
inline constexpr const char* SDicaPermissao =
    "- o iVelmora tem permissão de Rede Local no iPhone (Ajustes > Privacidade e Segurança > Rede Local);";
inline constexpr const char* SDicaEndereco = "- no iPhone, o endereço digitado é %s.";

// A size with its unit and one decimal after a comma, in kilobytes of 1,000 bytes below a megabyte
// of 1,000,000, as the phone's and the desktop's file managers count them: 12,345 bytes are
// "12,3 kB", 1,234,567 bytes "1,2 MB".
std::string FormatSize(uint64_t bytes);

// Seconds with one decimal after a comma: 4.25 s is "4,3".
std::string FormatSeconds(std::chrono::milliseconds duration);

}  // namespace velmora
