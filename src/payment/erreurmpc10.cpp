#include "payment/erreurmpc10.h"

#include <iterator>

namespace Movendi::Payment {

namespace {

struct CodeText
{
    char16_t code;
    const char16_t *text;
};

QString lookUp(const CodeText *begin, const CodeText *end, const QString &code)
{
    if (code.size() != 1)
        return {};
    for (const CodeText *row = begin; row != end; ++row) {
        if (code.at(0).unicode() == row->code)
            return QString::fromUtf16(row->text);
    }
    return {};
}

const CodeText solvencyTexts[] = {
    {u'0', u"OK (paiement accepté pour le montant)"},
    {u'1', u"NON OK (MPC10S non disponible)"},
    {u'2', u"MPC10S non disponible et switch maintenance positionné"},
    {u'3', u"PB INIT"},
    {u'4', u"PB ACCES FICHIER"},
    {u'5', u"PB MONTANT DEVISE"},
    {u'6', u"PB CARTE INVALIDE"},
    {u'7', u"PB INCIDENT CARTE"},
    {u'8', u"PB ABANDON"},
    {u'9', u"PB ACCES CENTRE"},
    {u'A', u"PB CARTE INTERDITE"},
    {u'B', u"PB TRANSACTION REFUSEE"},
    {u'C', u"PB SAM MONEO"},
    {u'D', u"PB PME MONEO"},
    {u'E', u"PB OCL A PEAGE"},
    {u'F', u"NUMERO DE DOSSIER DEJA EXISTANT"},
};

const CodeText debitTexts[] = {
    {u'0', u"OK (paiement enregistré pour le montant)"},
    {u'1', u"NON OK (MPC10S non disponible)"},
    {u'2', u"MPC10S non disponible et switch maintenance positionné"},
    {u'3', u"application non initialisée"},
    {u'4', u"pas de solvabilité accordée préalablement"},
    {u'5', u"montant d’enregistrement supérieur au montant autorisé en classe 1"},
    {u'6', u"solvabilité annulée sur montant = 0"},
    {u'8', u"reprise de la transaction suite à un redémarrage du MPC10S."},
    {u'9', u"numéro de dossier inconnu."},
};

struct DiagnosticText
{
    int code;
    const char16_t *text;
};

const DiagnosticText diagnosticTexts[] = {
    {0, u"DIAGNOSTIC OK 00"},
    {1, u"APPLICATION NON INITIALISEE 01"},
    {2, u"APPLICATION NON ACTIVE 02"},
    {3, u"CLASSE NON GEREE 03"},
    {4, u"NOYAU NON V52 04"},
    {5, u"CARTE NON TRAITEE 05"},
    {9, u"MONTANT MAX CARTE ETRANGERE DEPASSE 09"},
    {10, u"MODE NON GEREE 10"},
    {11, u"PROBLEME INTEGRITE DU FICHIER TRANSACTION 11"},
    {12, u"FICHIER TRANSACTION PLEIN 12"},
    {13, u"MONTANT MAX DEPASSE 13"},
    {14, u"MONTANT MIN NONATTEINT 14"},
    {15, u"MONTANT NUL 15"},
    {17, u"MONNAIE NON GEREE 17"},
    {18, u"MONNAIE CARTE NON GEREE 18"},
    {19, u"BIN DE LA CARTE ABSENT DE LA TABLE DES BIN 19"},
    {20, u"CARTE REFUSEE DANS LA LISTE DE CONTRÔLE 20"},
    {21, u"BIN DE LA CARTE REFUSEE 21"},
    {22, u"CARTE PERIMEE 22"},
    {23, u"CARTE NON VALIDE 23"},
    {24, u"PROBLEME CODE TRAITEMENT CARTE 24"},
    {25, u"PROBLEME CODE SERVICE CARTE 25"},
    {26, u"CARTE REFUSEE EN AUTORISATION 26"},
    {27, u"LONGUEUR DU NO PORTEUR INCORRECTE 27"},
    {28, u"DUREE DE VALIDITE DEPASSEE 28"},
    {29, u"BIN DE LA CARTE SURVEILLE DANS LA TABLE DES BIN 29"},
    {30, u"CARTE SURVEILLEE DANS LA LISTE DE CONTROLE 30"},
    {31, u"CARTE BLOQUEE 31"},
    {32, u"DONNEE CARTE INCOHERENTE 32"},
    {33, u"PROBLEME VA_VS 33"},
    {34, u"PROBLEME CALCUL CAI EMETTEUR 34"},
    {35, u"PROBLEME CONTROL DE FLUX 35"},
    {36, u"PROBLEME CALCUL CAI ACQUEREUR 36"},
    {37, u"ABANDON SUR INTRODUIRE CARTE 37"},
    {38, u"PROBLEME CONSOLIDATION EXTERNE 38"},
    {39, u"ANNULATION OU ABANDON SUR SAISIE CODE 39"},
    {40, u"ABANDON APRES SAISIE D'UN CODE FAUX 40"},
    {41, u"ABANDON APRES SAISIE DE DEUX CODE FAUX 41"},
    {42, u"SAISIE DE TROIS FAUX 42"},
    {43, u"PORTEUR ABSENT A LA SAISIE DU CODE 43"},
    {44, u"TIME-OUT SAISIE DU CODE 44"},
    {45, u"TYPE DE TRANSACTION REFUSE 45"},
    {46, u"PROBLEME COHERENCE MODE DE FONCTIONNEMENT ET CODE TRAITEMENT 46"},
    {47, u"RECU NON DISPONIBLE 47"},
    {48, u"INCIDENT TECHNIQUE CARTE 48"},
    {49, u"PAS DE SOLVABILITE AU PREALABLE 49"},
    {50, u"MONTANT ENREGISTREMENT DIFFERENT MONTANT SOLVABILITE 50"},
    {52, u"PROBLEME DE LIAISON AU CENTRE D'AUTORISATION 52"},
    {53, u"CARTE INTERDITE DANS LE FICHIER TRANSACTION 53"},
    {54, u"BIN DE LA CARTE INTERDIT DANS LA TABLE DES BIN 54"},
    {55, u"CARTE INTERDITE DANS LA LISTE DE CONTRÔLE 55"},
    {56, u"CARTE INTERDITE PAR LE CENTRE D'AUTORISATION 56"},
    {57, u"SAM HORS SERVICE 57"},
    {58, u"DEFAULT SAM 58"},
    {59, u"SAM INVALIDE 59"},
    {60, u"SAM NON UTILISABLE 60"},
    {61, u"SAM PERIME 61"},
    {62, u"SAM ECHANGE 62"},
    {63, u"PME CHARGER BORNE 63"},
    {64, u"PME SOLDE INSUFFISANT 64"},
    {65, u"PME BLOQUE 65"},
    {66, u"PME INVALIDE 66"},
    {67, u"PME DEBIT PROBABLE 67"},
    {68, u"PME ANNULATION OK 68"},
    {69, u"PME ANNULATION KO 69"},
    {70, u"OCL A PEAGE VERROUILLE 70"},
    {79, u"CUMUL LAT DEPASSE 79"},
    {80, u"MODULE EMVDC NON CHARGE 80"},
    {81, u"ABANDON SUR CHOIX (TICKET, LANGUE) 81"},
    {82, u"CARTE INTERDITE DANS LE FICHIER TRANSACTION 82"},
    {83, u"CARTE REFUSEE DANS LE FICHIER TRANSACTION 83"},
    {84, u"PROBLEME FORMAT CARTE 84"},
    {85, u"EMV ECHEC INITIATE APPLICATION PROCESSING 85"},
    {86, u"EMV INITIATE APPLICATION PROCESSING EASY ENTRY ECHEC 86"},
    {87, u"EMV APPLICATION SELECTION ECHEC 87"},
    {88, u"EMV READ APPLICATION DATA ECHEC 88"},
    {89, u"EMV PROCESSING RESTRICTION ECHEC 89"},
    {90, u"EMV OFFLINE DATA AUTHENTIFICATION ECHEC 90"},
    {91, u"EMV ECHEC CONTROL DU CODE 91"},
    {92, u"EMV TERMINAL RISK MANAGEMENT ECHEC 92"},
    {93, u"EMV TERMINAL ACTION ANALYSIS ECHEC 93"},
    {94, u"EMV CARD REFUS (Refus (AAC) sur Generate AC) 94"},
    {95, u"EMV CARD ACTION ANALYSIS ECHEC 95"},
    {96, u"EMV ON LINE PROCESSING ECHEC 96"},
    {97, u"EMV COMPLETION ECHEC 97"},
    {98, u"EMV SCRIPT PROCESSING 1 ECHEC 98"},
    {99, u"EMV SCRIPT PROCESSING 2 ECHEC 99"},
};

} // namespace

QString TexteResultatDemVal(const QString &code)
{
    return lookUp(std::begin(solvencyTexts), std::end(solvencyTexts), code);
}

QString TexteResultatDemEnr(const QString &code)
{
    return lookUp(std::begin(debitTexts), std::end(debitTexts), code);
}

QString TexteDiagnostic(const QString &code)
{
    // Read as a number, so that "7" and "07" name the same code; blanks around it are allowed.
    const QString digits = code.trimmed();
    if (digits.isEmpty())
        return {};
    int value = 0;
    for (QChar c : digits) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return {};
        value = value * 10 + (c.unicode() - '0');
        if (value >= 100)
            return {};
    }
    for (const DiagnosticText &row : diagnosticTexts) {
        if (row.code == value)
            return QString::fromUtf16(row.text);
    }
    return {};
}

} // namespace Movendi::Payment
