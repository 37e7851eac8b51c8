#pragma once

#include "stock/afficheurlcd.h"

#include <QString>
#include <QStringList>
#include <QVariant>

#include <cstdint>
#include <memory>
#include <optional>

namespace Movendi::Platform {
class SerialLine;
}
namespace Movendi::Store {
class StoreDatabase;
}

namespace Movendi::Stock {

class ListeIMEI;

// What the refill shows staff beside the LCD. The refill screen implements it.
class AffichageRemplissage
{
public:
    virtual ~AffichageRemplissage() = default;

    // The "Fermer Porte" button, shown while a front door stands open.
    virtual void montrerBoutonFermeture(bool visible) = 0;
    // The last LCD text as one line (Text2), and the LCD panel's two lines ("" blanks it).
    virtual void afficherTexteLCD(const QString &texte) = 0;
    virtual void afficherPanneauLCD(const QString &texte) = 0;
    // The contents listing: emptied and shown, then filled line by line.
    virtual void commencerListeContenu() = 0;
    virtual void ajouterLignesContenu(const QStringList &lignes) = 0;
    // The code field, emptied for the next scan once an article is loaded.
    virtual void viderChampCode() = 0;
};

// One row of the refill's audit (table AuditStock): the routine, what was scanned or typed,
// the location and reference, what came of it; the time is added.
struct LigneAudit
{
    QString ecran;
    QString code;
    qint64 noEmpl = 0;
    QVariant reference;
    QString resultat;
};
// Inside the caller's transaction or alone; throws ErreurExecution. personnel: whose badge
// opened the screen, empty without badges.
void auditerStock(Store::StoreDatabase &base, const LigneAudit &ligne,
                  const QString &personnel = {});

// The refill itself: the delivery list and the store opened together, a scanned code placed in
// a free location that the mechanism brings to staff, the LCD, the contents listing and the
// destocking of a reference. A location is recorded, with its audit row, before its door is
// presented (a write refused presents nothing and says so on the LCD); destocking is one
// transaction; every refill, destocking, inventory print and door presentation is audited.
// Every failure is journalled under the routine's name.
class Remplissage
{
public:
    // ligneImprimante: the ticket printer's line, shared with the payment screen; null for a
    // line of the refill's own.
    Remplissage(AffichageRemplissage &affichage, Platform::SerialLine *ligneImprimante);
    ~Remplissage();

    void OuvrirTables();
    // Closes the list and the store.
    void fermerTables();
    // A 15-character code is a phone's IMEI, a 16-character one a voucher's serial; any other
    // length is ignored.
    void LectureDouchette(const QString &code);
    void RemplissageMachineTELE(const QString &code);
    void RemplissageMachineRECHA(const QString &code);
    void AffichezMessage(const QString &ligne1, const QString &ligne2);
    void ImprimerContenueEmplacements();
    void Destockage(std::int32_t reference);
    // Closes the door of EmplacementOuvert.
    void Command1_Click();

    std::int32_t EmplacementOuvert() const { return m_emplacementOuvert; }
    // Who opened the screen with a staff badge: named in every audit row from then on, and
    // in one row of its own.
    void definirPersonnel(const QString &nom);

private:
    struct Emplacement
    {
        qint64 noEmpl = 0;
        std::int16_t colonne = 0;
        qint64 etage = 0;
    };
    struct Article
    {
        QString colonneListe; // NumIMEI or NSTE
        QString contexte;     // the routine's name, for the journal
        bool telephone = false;
    };

    // The first row of a query of NoEmpl, Colonne and Etage, or none.
    static std::optional<Emplacement> premierEmplacement(Store::StoreDatabase &base,
                                                         const QString &sql,
                                                         const QVariantList &parametres = {});
    void charger(const Article &article, const QString &code);
    // Brings a location to the operator; the mechanism's status (the door's in front loading).
    std::int32_t presenter(const Emplacement &emplacement);
    std::int16_t posColJournalisee(std::int16_t colonne);
    // An audit row of its own; a failure is journalled.
    void auditer(const LigneAudit &ligne);
    // Inside the caller's transaction; throws.
    void auditerDans(Store::StoreDatabase &b, const LigneAudit &ligne) const;
    Store::StoreDatabase &base();
    const ListeIMEI &liste() const;
    Platform::SerialLine &ligneImprimante();

    AffichageRemplissage &m_affichage;
    AfficheurLCD m_lcd;
    std::unique_ptr<Store::StoreDatabase> m_base;
    std::unique_ptr<ListeIMEI> m_liste;
    std::optional<Emplacement> m_emplacement; // the location cursor's current row
    Platform::SerialLine *m_ligneImprimante;
    std::unique_ptr<Platform::SerialLine> m_lignePropre;
    std::int32_t m_emplacementOuvert = 0;
    QString m_personnel;
};

} // namespace Movendi::Stock
