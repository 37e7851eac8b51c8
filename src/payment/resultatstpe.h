#pragma once

// The results of the terminal requests: 255 for success, small positive values for refusals,
// negative values when the terminal is not ready (the caller tries again) or the link failed.
// Some values mean different things for different requests; each request's own names say
// which.
namespace Movendi::Payment::Resultat {

inline constexpr int Ok = 255;

// BidForLine.
inline constexpr int LigneObtenue = 1;
inline constexpr int LigneRefusee = 0;
inline constexpr int TelecollecteSurLaLigne = -404;

// DemSwi: Ok when a card is in the reader.
inline constexpr int SansCarte = 1;
inline constexpr int StatutSansLigne = -400;
inline constexpr int SecuriteActivee = -403;
inline constexpr int ActiviteDistante = -404;
inline constexpr int TerminalIndisponible = -405;

// DemVal: Ok when the amount is accepted.
inline constexpr int SolvabiliteRefusee = 1;
inline constexpr int CarteRefusee = 2; // result "9" or "F"
inline constexpr int TerminalRedemarre = 0;
inline constexpr int SolvabiliteSansLigne = -700;
inline constexpr int SolvabiliteIndisponible = -704;

// DemEnr: Ok when the debit is recorded.
inline constexpr int DebitRefuse = 1;
inline constexpr int DebitSansLigne = -200;
inline constexpr int DebitIndisponible = -204;

// DemTC: Ok when every acquirer remitted.
inline constexpr int TelecollecteIncomplete = 1;
inline constexpr int TelecollecteSansLigne = -500;

// DemTIC: Ok when the report is laid out.
inline constexpr int RapportTelecollecteIncomplete = 11;
inline constexpr int RapportAppelErrone = 2;
inline constexpr int RapportSansAppel = 3;
inline constexpr int RapportEchec = 1;
inline constexpr int RapportSansLigne = -600;

} // namespace Movendi::Payment::Resultat
