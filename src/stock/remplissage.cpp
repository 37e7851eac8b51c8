#include "stock/remplissage.h"

#include "journal/erreur.h"
#include "journal/journal.h"
#include "machine/automate.h"
#include "machine/machinecontrol.h"
#include "platform/clock.h"
#include "platform/filelookup.h"
#include "platform/seams.h"
#include "platform/serialline.h"
#include "state/etatdemarrage.h"
#include "stock/inventaire.h"
#include "stock/listeimei.h"
#include "store/boiteenvoi.h"
#include "store/conversions.h"
#include "store/storedatabase.h"
#include "utilities/fonctionutilitaires.h"

namespace Movendi::Stock {

using Journal::ErreurExecution;

namespace {

constexpr int ErreurObjetFerme = 3704;

ErreurExecution objetFerme(const QString &quoi)
{
    return ErreurExecution(
        ErreurObjetFerme,
        QStringLiteral("Opération non autorisée si l'objet est fermé (%1).").arg(quoi));
}

QString etage(qint64 valeur)
{
    return QStringLiteral("Etage: ") + QString::number(valeur);
}

QVariant nul()
{
    return QVariant(QMetaType(QMetaType::LongLong));
}

const QString causeRemplissage = QStringLiteral("remplissage");

using Store::enUneTransaction;

} // namespace

void auditerStock(Store::StoreDatabase &base, const LigneAudit &ligne, const QString &personnel)
{
    QVariantList valeurs{Store::StoreDatabase::versBase(Platform::clock().now()),
                         ligne.ecran,
                         ligne.code,
                         ligne.noEmpl != 0 ? QVariant(ligne.noEmpl) : nul(),
                         ligne.reference.isNull() ? nul() : ligne.reference,
                         ligne.resultat};
    // Stores made before badges have no Personnel column: only a badge's row needs it.
    if (personnel.isEmpty()) {
        base.executer(QStringLiteral("INSERT INTO AuditStock (LaDate, Ecran, Code, NoEmpl, "
                                     "Reference, Resultat) VALUES (?, ?, ?, ?, ?, ?)"),
                      valeurs);
        return;
    }
    valeurs.append(personnel);
    base.executer(QStringLiteral("INSERT INTO AuditStock (LaDate, Ecran, Code, NoEmpl, Reference, "
                                 "Resultat, Personnel) VALUES (?, ?, ?, ?, ?, ?, ?)"),
                  valeurs);
}

void Remplissage::auditerDans(Store::StoreDatabase &b, const LigneAudit &ligne) const
{
    auditerStock(b, ligne, m_personnel);
}

void Remplissage::definirPersonnel(const QString &nom)
{
    m_personnel = nom;
    if (nom.isEmpty())
        return;
    // Before the tables are open, and whether or not the delivery list can be read.
    const LigneAudit ouverture{QStringLiteral("BadgePersonnel"), QString(), 0, QVariant(),
                               QStringLiteral("remplissage ouvert")};
    try {
        if (m_base) {
            auditerDans(*m_base, ouverture);
        } else {
            Store::StoreDatabase b;
            auditerDans(b, ouverture);
        }
    } catch (const ErreurExecution &erreur) {
        Journal::SignalerErreur(QStringLiteral("AuditStock"), erreur);
    }
}

void Remplissage::auditer(const LigneAudit &ligne)
{
    try {
        auditerDans(base(), ligne);
    } catch (const ErreurExecution &erreur) {
        Journal::SignalerErreur(QStringLiteral("AuditStock"), erreur);
    }
}

Remplissage::Remplissage(AffichageRemplissage &affichage, Platform::SerialLine *ligneImprimante)
    : m_affichage(affichage), m_ligneImprimante(ligneImprimante)
{
}

Remplissage::~Remplissage() = default;

void Remplissage::fermerTables()
{
    m_base.reset();
    m_liste.reset();
}

void Remplissage::OuvrirTables()
{
    m_liste.reset();
    m_base.reset();
    m_emplacement.reset();
    try {
        // Whatever the letter case staff gave the file.
        m_liste = std::make_unique<ListeIMEI>(ListeIMEI::lire(Platform::resolvePathNoCase(
            Utilities::DossierApplication() + QStringLiteral("ListeIMEI.xls"))));
        m_base = std::make_unique<Store::StoreDatabase>();
        m_base->lire(QStringLiteral("SELECT * FROM EmplacementsMachine1 WHERE Reference IS NULL "
                                    "ORDER BY Colonne, Etage, NoEmpl"));
        m_base->lire(QStringLiteral("SELECT * FROM ArticleEnStock ORDER BY Reference"));
    } catch (const ErreurExecution &erreur) {
        Journal::SignalerErreur(QStringLiteral("OuvrirTables"), erreur);
    }
}

Store::StoreDatabase &Remplissage::base()
{
    if (!m_base)
        throw objetFerme(QStringLiteral("base du magasin"));
    return *m_base;
}

const ListeIMEI &Remplissage::liste() const
{
    if (!m_liste)
        throw objetFerme(QStringLiteral("liste de livraison"));
    return *m_liste;
}

std::optional<Remplissage::Emplacement>
Remplissage::premierEmplacement(Store::StoreDatabase &base, const QString &sql,
                                const QVariantList &parametres)
{
    const Store::ResultatRequete r = base.lire(sql, parametres);
    if (r.estVide())
        return std::nullopt;
    return Emplacement{r.valeur(0, QStringLiteral("NoEmpl")).toLongLong(),
                       std::int16_t(r.valeur(0, QStringLiteral("Colonne")).toInt()),
                       r.valeur(0, QStringLiteral("Etage")).toLongLong()};
}

void Remplissage::LectureDouchette(const QString &code)
{
    const bool recharge = code.size() == 16;
    if (!recharge && code.size() != 15)
        return;
    try {
        Store::StoreDatabase &b = base();
        // The code is compared whole through a bound value: a quote or a wildcard in it is
        // only a character.
        const std::optional<Emplacement> present = premierEmplacement(
            b,
            recharge ? QStringLiteral("SELECT NoEmpl, Colonne, Etage FROM EmplacementsMachine1 "
                                      "WHERE NoSIM = ? COLLATE NOCASE ORDER BY NoEmpl LIMIT 1")
                     : QStringLiteral("SELECT NoEmpl, Colonne, Etage FROM EmplacementsMachine1 "
                                      "WHERE IMEI = ? COLLATE NOCASE ORDER BY NoEmpl LIMIT 1"),
            {code});
        if (present) {
            m_emplacement = present;
            AffichezMessage(recharge ? QStringLiteral("Erreur NSTE deja ")
                                     : QStringLiteral("Erreur IMEI deja "),
                            QStringLiteral("present dans le DA"));
            const std::int32_t statut = presenter(*present);
            auditer(
                {QStringLiteral("LectureDouchette"),
                 code,
                 present->noEmpl,
                 {},
                 QStringLiteral("déjà présent, emplacement présenté (mécanisme: %1)").arg(statut)});
            AffichezMessage(code, etage(present->etage));
            return;
        }
        m_emplacement = premierEmplacement(
            b, recharge ? QStringLiteral("SELECT NoEmpl, Colonne, Etage FROM EmplacementsMachine1 "
                                         "WHERE Reference IS NULL AND Etage < 3 "
                                         "ORDER BY Colonne, Etage, NoEmpl LIMIT 1")
                        : QStringLiteral("SELECT NoEmpl, Colonne, Etage FROM EmplacementsMachine1 "
                                         "WHERE Reference IS NULL AND Etage > 2 "
                                         "ORDER BY Colonne, Etage, NoEmpl LIMIT 1"));
        if (!m_emplacement) {
            AffichezMessage(QStringLiteral("Pas d'emplacement"), QStringLiteral("disponible"));
            return;
        }
        if (recharge)
            RemplissageMachineRECHA(code);
        else
            RemplissageMachineTELE(code);
        m_affichage.viderChampCode();
    } catch (const ErreurExecution &erreur) {
        Journal::SignalerErreur(QStringLiteral("LectureDouchette"), erreur);
    }
}

void Remplissage::RemplissageMachineTELE(const QString &code)
{
    charger({QStringLiteral("NumIMEI"), QStringLiteral("RemplissageMachineTELE"), true}, code);
}

void Remplissage::RemplissageMachineRECHA(const QString &code)
{
    charger({QStringLiteral("NSTE"), QStringLiteral("RemplissageMachineRECHA"), false}, code);
}

void Remplissage::charger(const Article &article, const QString &code)
{
    try {
        const ListeIMEI &l = liste();
        const qsizetype ligne = l.chercher(article.colonneListe, code);
        if (ligne < 0)
            return;
        const QVariant ean13 = l.valeur(ligne, QStringLiteral("EAN13"));
        Store::StoreDatabase &b = base();
        const Store::ResultatRequete catalogue =
            b.lire(QStringLiteral("SELECT Reference FROM ArticleEnStock WHERE CodeBar = ? "
                                  "COLLATE NOCASE ORDER BY Reference LIMIT 1"),
                   {ean13.isNull() ? QVariant(QString()) : ean13});
        if (catalogue.estVide())
            return;
        if (!m_emplacement)
            throw objetFerme(QStringLiteral("emplacement"));
        const Emplacement e = *m_emplacement;
        const QVariant numero = l.valeur(ligne, article.colonneListe);
        const QVariant reference = catalogue.valeur(0, QStringLiteral("Reference"));
        const QVariant commande = l.valeur(ligne, QStringLiteral("NoCommande"));
        // Recorded before its door opens: an article staff put in is never in a location the
        // store thinks free. Written only while still free, so that one locker never receives
        // two articles.
        try {
            enUneTransaction(b, [&] {
                const int ecrites =
                    article.telephone
                        ? b.executer(
                              QStringLiteral("UPDATE EmplacementsMachine1 SET Reference = ?, "
                                             "NoSIM = ?, IMEI = ?, EAN13 = ?, NoCommande = ? "
                                             "WHERE NoEmpl = ? AND Reference IS NULL"),
                              {reference, l.valeur(ligne, QStringLiteral("NSCE")), numero, ean13,
                               commande, e.noEmpl})
                        : b.executer(QStringLiteral("UPDATE EmplacementsMachine1 SET "
                                                    "Reference = ?, NoSIM = ?, EAN13 = ?, "
                                                    "NoCommande = ? WHERE NoEmpl = ? AND "
                                                    "Reference IS NULL"),
                                     {reference, numero, ean13, commande, e.noEmpl});
                if (ecrites == 0)
                    throw ErreurExecution(Store::StoreDatabase::ErreurRequete,
                                          QStringLiteral("emplacement %1 occupé entre-temps: %2 "
                                                         "non enregistré")
                                              .arg(e.noEmpl)
                                              .arg(code));
                auditerDans(
                    b, {article.contexte, code, e.noEmpl, reference, QStringLiteral("chargé")});
                Store::ajouterEvenementStock(b, e.noEmpl, causeRemplissage,
                                             Store::contenuStock(b, e.noEmpl));
            });
        } catch (const ErreurExecution &) {
            // Nothing recorded: no door opens, and staff see why.
            AffichezMessage(QStringLiteral("Erreur base donnees "),
                            QStringLiteral("article non charge"));
            throw;
        }
        if (const std::int32_t statut = presenter(e); statut != 0) {
            // The location is given back; staff see the door not open.
            Journal::JournaliserErreur(
                article.contexte,
                QStringLiteral("emplacement %1 non présenté (mécanisme: %2), laissé libre")
                    .arg(e.noEmpl)
                    .arg(statut));
            enUneTransaction(b, [&] {
                const Store::ContenuStock avant = Store::contenuStock(b, e.noEmpl);
                if (b.executer(QStringLiteral("UPDATE EmplacementsMachine1 SET Reference = NULL, "
                                              "IMEI = NULL, NoSIM = NULL, EAN13 = NULL, "
                                              "NoCommande = NULL WHERE NoEmpl = ? AND Reference "
                                              "= ?"),
                               {e.noEmpl, reference}) == 1)
                    Store::ajouterEvenementStock(b, e.noEmpl, causeRemplissage,
                                                 {std::nullopt, avant.imei, avant.serie});
                auditerDans(b, {article.contexte, code, e.noEmpl, reference,
                                QStringLiteral("non présenté (mécanisme: %1), emplacement "
                                               "rendu libre")
                                    .arg(statut)});
            });
            return;
        }
        auditer({article.contexte, code, e.noEmpl, reference, QStringLiteral("porte présentée")});
        AffichezMessage(Store::ConvertNullStr(numero), etage(e.etage));
    } catch (const ErreurExecution &erreur) {
        Journal::SignalerErreur(article.contexte, erreur);
    }
}

std::int16_t Remplissage::posColJournalisee(std::int16_t colonne)
{
    try {
        return PosCol(colonne);
    } catch (const ErreurExecution &erreur) {
        Journal::SignalerErreur(QStringLiteral("PosCol"), erreur);
        return 0;
    }
}

std::int32_t Remplissage::presenter(const Emplacement &e)
{
    Machine::MachineControl &automate = Machine::automate();
    if (State::etat().ChargementArriere)
        return automate.DrumPosition(Machine::DrumUnit, posColJournalisee(e.colonne),
                                     Machine::DrumSpeed);
    m_emplacementOuvert = std::int32_t(e.noEmpl);
    automate.DrumPosition(Machine::DrumUnit, m_emplacementOuvert, Machine::DrumSpeed);
    const std::int32_t statut =
        automate.OpenDoor(Machine::DrumUnit, m_emplacementOuvert, Machine::DrumSpeed);
    m_affichage.montrerBoutonFermeture(true);
    return statut;
}

void Remplissage::Command1_Click()
{
    m_affichage.montrerBoutonFermeture(false);
    Machine::automate().CloseDoor(Machine::DrumUnit, m_emplacementOuvert, Machine::DrumSpeed);
}

void Remplissage::AffichezMessage(const QString &ligne1, const QString &ligne2)
{
    m_lcd.InitAfficheur();
    if (ligne1.isEmpty() && ligne2.isEmpty()) {
        m_affichage.afficherPanneauLCD(QString());
    } else {
        const QString texte = texteMessageLCD(ligne1, ligne2);
        m_affichage.afficherTexteLCD(texte);
        envoyerTexteLCD(m_lcd, texte);
        m_affichage.afficherPanneauLCD(texte);
    }
    if (const QString erreur = m_lcd.prendreErreur(); !erreur.isEmpty())
        Journal::JournaliserErreur(QStringLiteral("AffichezMessage"),
                                   QStringLiteral("afficheur: ") + erreur);
}

Platform::SerialLine &Remplissage::ligneImprimante()
{
    if (m_ligneImprimante)
        return *m_ligneImprimante;
    if (!m_lignePropre)
        m_lignePropre = Platform::serialLines().create(State::etat().CheminIni);
    return *m_lignePropre;
}

void Remplissage::ImprimerContenueEmplacements()
{
    try {
        Platform::SerialLine &ligne = ligneImprimante();
        if (!ligne.isOpen()) {
            ligne.setInputLength(0);
            if (!ligne.open(State::etat().PortImprimante,
                            QString::fromLatin1(Platform::TicketPrinterSettings)))
                throw ErreurExecution(Journal::Erreurs::AccesFichier, ligne.errorText());
        }
        while (ligne.bytesAvailable() > 0)
            ligne.read();
        const auto imprimer = [&ligne](const QByteArray &octets) {
            if (!ligne.write(octets))
                throw ErreurExecution(Journal::Erreurs::AccesFichier, ligne.errorText());
        };

        const Store::ResultatRequete contenu = base().lire(QStringLiteral(
            "SELECT EmplacementsMachine1.*, ArticleEnStock.Image FROM EmplacementsMachine1 "
            "LEFT OUTER JOIN ArticleEnStock ON EmplacementsMachine1.Reference = "
            "ArticleEnStock.Reference WHERE EmplacementsMachine1.Reference IS NOT NULL "
            "ORDER BY EmplacementsMachine1.Reference, EmplacementsMachine1.Colonne, "
            "EmplacementsMachine1.Etage, EmplacementsMachine1.NoEmpl"));

        const QDateTime maintenant = Platform::clock().now();
        const QString identite = State::etat().IdentiteMachine;
        m_affichage.commencerListeContenu();
        m_affichage.ajouterLignesContenu(enteteEcranContenu(maintenant, identite));
        imprimer(enteteImprimeContenu(maintenant, identite));
        m_affichage.ajouterLignesContenu({regleEcranContenu()});
        imprimer(regleImprimeeContenu());
        for (qsizetype i = 0; i < contenu.lignes.size(); ++i) {
            const LigneContenu l{contenu.valeur(i, QStringLiteral("Reference")).toLongLong(),
                                 contenu.valeur(i, QStringLiteral("Colonne")).toLongLong(),
                                 contenu.valeur(i, QStringLiteral("Etage")).toLongLong(),
                                 contenu.valeur(i, QStringLiteral("Image")),
                                 contenu.valeur(i, QStringLiteral("IMEI"))};
            m_affichage.ajouterLignesContenu({ligneEcranContenu(l)});
            imprimer(ligneImprimeeContenu(l));
        }
        imprimer(finImprimeeContenu());
        if (ligne.isOpen())
            ligne.close();
        auditer({QStringLiteral("ImprimerContenueEmplacements"),
                 QString(),
                 0,
                 {},
                 QStringLiteral("inventaire imprimé: %1 emplacement(s) occupé(s)")
                     .arg(contenu.lignes.size())});
    } catch (const ErreurExecution &erreur) {
        Journal::SignalerErreur(QStringLiteral("ImprimerContenueEmplacements"), erreur);
        if (m_base)
            auditer({QStringLiteral("ImprimerContenueEmplacements"),
                     QString(),
                     0,
                     {},
                     QStringLiteral("inventaire non imprimé: ") + erreur.description()});
    }
}

void Remplissage::Destockage(std::int32_t reference)
{
    try {
        Store::StoreDatabase &b = base();
        const Store::ResultatRequete lignes =
            b.lire(QStringLiteral("SELECT NoEmpl FROM EmplacementsMachine1 WHERE Reference = ? "
                                  "ORDER BY NoEmpl"),
                   {reference});
        if (lignes.estVide()) {
            AffichezMessage(QStringLiteral("Reference inconnue"), QString());
            return;
        }
        // The inventory still shows the locations about to be emptied.
        ImprimerContenueEmplacements();
        // All of them or none, each audited.
        try {
            enUneTransaction(b, [&] {
                for (const QVariantList &ligne : lignes.lignes) {
                    const int noEmpl = ligne.at(0).toInt();
                    const Store::ContenuStock avant = Store::contenuStock(b, noEmpl);
                    b.executer(QStringLiteral("UPDATE EmplacementsMachine1 SET Reference = "
                                              "NULL, IMEI = NULL, NoSIM = NULL, EAN13 = NULL, "
                                              "NoCommande = NULL WHERE NoEmpl = ?"),
                               {ligne.at(0)});
                    auditerDans(b,
                                {QStringLiteral("Destockage"), QString::number(reference),
                                 ligne.at(0).toLongLong(), reference, QStringLiteral("déstocké")});
                    Store::ajouterEvenementStock(b, noEmpl, QStringLiteral("destockage"),
                                                 {std::nullopt, avant.imei, avant.serie});
                }
            });
        } catch (const ErreurExecution &) {
            AffichezMessage(QStringLiteral("Erreur base donnees "),
                            QStringLiteral("rien destocke"));
            throw;
        }
        AffichezMessage(QStringLiteral("Operation effectuee"), QString());
    } catch (const ErreurExecution &erreur) {
        Journal::SignalerErreur(QStringLiteral("Destockage"), erreur);
    }
}

} // namespace Movendi::Stock
