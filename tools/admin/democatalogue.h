#pragma once

#include <QString>
#include <QStringList>

namespace Movendi::Store {
class StoreDatabase;
}

namespace Movendi::Admin {

// Check digits of the identifiers the kiosk handles.
int chiffreControleEan13(const QString &douzeChiffres);
int chiffreControleLuhn(const QString &chiffresSansControle);
bool ean13Valide(const QString &code);
bool luhnValide(const QString &code);

// The demo shop: its identity, eleven articles (six phones, five top-up vouchers), a drum of
// 36 columns by 6 levels (levels 1-2 vouchers, 3-6 phones) partly stocked with believable
// identifiers. Writes the rows into an empty store and a picture (.jpg) and French and English
// descriptions (.rtf, "EN.rtf") per article into the image folder. Throws ErreurExecution.
void remplirCatalogueDemo(Store::StoreDatabase &base, const QString &dossierImages,
                          QStringList *compteRendu);

// The delivery list ListeIMEI.xls the refill screen reads: a new delivery of the demo catalogue,
// four phones and four top-up vouchers not yet in the machine, IMEIs and EAN-13 codes typed as
// numbers as spreadsheet users do. False with the reason in *erreur when it cannot be written.
bool ecrireListeLivraisonDemo(const QString &chemin, QString *erreur);

} // namespace Movendi::Admin
