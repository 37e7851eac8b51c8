#pragma once

#include "startup/monnaie.h"

#include <QString>
#include <cstdint>

namespace Movendi::Sale {

struct InfoSocieteVente
{
    QString Nom;
    QString Adresse;
    QString Ville;
    QString CodePostal;
    QString Tel;
    QString Fax;
};

// The top-up line of the basket.
struct LigneRechargeVente
{
    bool RechargeAServir = false;
    std::int32_t ReferenceRecharge = 0; // 0 = no top-up
    std::int32_t PrixRechargeCentimes = 0;
};

// The sale state the product choice screen fills and the payment, delivery, recording and
// ticket read; one basket of one article and at most one top-up.
struct EtatVente
{
    std::int32_t ReferenceArticle = 0;
    QString DesignationArticle;
    Startup::Monnaie PrixArticle;
    InfoSocieteVente InfoSociete;
    LigneRechargeVente LigneRecharge;
};

EtatVente &etatVente();

} // namespace Movendi::Sale
