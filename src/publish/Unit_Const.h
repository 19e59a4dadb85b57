#pragma once
// The publisher's own texts and settings, shown to the operator or given to its components.

namespace velmora {

inline constexpr const char* SServidorAtivo = "Servidor Ativo";
inline constexpr const char* SServidorAtivoLog = "Servidor Ativo!";
inline constexpr const char* SServidorInativo = "Servidor Inativo";
inline constexpr const char* SPortaInvalida = "Porta inválida: %s (use um número de 1 a 65535).";
inline constexpr const char* SArquivoIlegivel = "Não foi possível ler o arquivo: %s";
inline constexpr const char* SDefaultPortText = "8099";
inline constexpr const char* SServerSoftware = "Talvo Web";
inline constexpr int DefaultServerPort = 8099;

}  // namespace velmora
