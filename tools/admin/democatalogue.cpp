#include "democatalogue.h"

#include "dossierapplication.h"

#include "journal/erreur.h"
#include "money/monnaie.h"
#include "platform/windows1252.h"
#include "reporting/classeurexcel.h"
#include "store/storedatabase.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace Movendi::Admin {

using Money::Monnaie;
using Store::StoreDatabase;

namespace {

struct ArticleDemo
{
    int reference;
    const char *designation;
    const char *designationEN;
    int prixCentimes;
    int ecoTaxeCentimes;
    int famille;
    const char *marque;
    const char *image;
    const char *descriptionFR;
    const char *descriptionEN;
    int unites;
    QRgb couleur;
};

const ArticleDemo articles[] = {
    {101, "Samsung Galaxy A15 128 Go", "Samsung Galaxy A15 128 GB", 19990, 30, 1, "Samsung",
     "galaxy-a15",
     "Écran Super AMOLED 6,5 pouces, triple caméra 50 Mpx, batterie 5000 mAh. Débloqué tous "
     "opérateurs.",
     "6.5-inch Super AMOLED screen, 50 MP triple camera, 5000 mAh battery. Unlocked for every "
     "network.",
     5, qRgb(30, 80, 160)},
    {102, "Apple iPhone 13 128 Go", "Apple iPhone 13 128 GB", 62900, 30, 1, "Apple", "iphone-13",
     "Écran Super Retina XDR 6,1 pouces, puce A15 Bionic, double caméra 12 Mpx, 5G.",
     "6.1-inch Super Retina XDR display, A15 Bionic chip, dual 12 MP camera, 5G.", 3,
     qRgb(200, 40, 60)},
    {103, "Xiaomi Redmi Note 13 256 Go", "Xiaomi Redmi Note 13 256 GB", 24990, 30, 1, "Xiaomi",
     "redmi-note-13", "Écran AMOLED 120 Hz, caméra 108 Mpx, charge rapide 33 W, double SIM.",
     "120 Hz AMOLED screen, 108 MP camera, 33 W fast charging, dual SIM.", 4, qRgb(240, 120, 20)},
    {104, "Nokia 105 (2023)", "Nokia 105 (2023)", 2490, 10, 1, "Nokia", "nokia-105",
     "Le téléphone simple et robuste : autonomie de plusieurs semaines, radio FM, lampe torche.",
     "The simple, sturdy phone: weeks of standby, FM radio, torch.", 6, qRgb(20, 140, 160)},
    {105, "Motorola moto g54 5G", "Motorola moto g54 5G", 17900, 30, 1, "Motorola", "moto-g54",
     "Écran 6,5 pouces 120 Hz, 5G, stabilisation optique, son Dolby Atmos.",
     "6.5-inch 120 Hz screen, 5G, optical stabilisation, Dolby Atmos sound.", 2, qRgb(60, 60, 70)},
    {106, "Google Pixel 8a 128 Go", "Google Pixel 8a 128 GB", 54900, 30, 1, "Google", "pixel-8a",
     "Puce Google Tensor G3, photo assistée par l'IA, sept ans de mises à jour.",
     "Google Tensor G3 chip, AI-assisted photography, seven years of updates.", 0,
     qRgb(90, 150, 90)},
    {201, "Recharge prépayée 10 €", "Prepaid top-up €10", 1000, 0, 2, "Movendi", "recharge-10",
     "Code de recharge valable sur tous les opérateurs partenaires, crédit valable 1 mois.",
     "Top-up code for every partner network, credit valid for 1 month.", 6, qRgb(0, 150, 136)},
    {202, "Recharge prépayée 20 €", "Prepaid top-up €20", 2000, 0, 2, "Movendi", "recharge-20",
     "Code de recharge valable sur tous les opérateurs partenaires, crédit valable 2 mois.",
     "Top-up code for every partner network, credit valid for 2 months.", 6, qRgb(63, 81, 181)},
    {203, "Recharge prépayée 30 €", "Prepaid top-up €30", 3000, 0, 2, "Movendi", "recharge-30",
     "Code de recharge valable sur tous les opérateurs partenaires, crédit valable 3 mois.",
     "Top-up code for every partner network, credit valid for 3 months.", 5, qRgb(156, 39, 176)},
    {204, "Recharge prépayée 50 €", "Prepaid top-up €50", 5000, 0, 2, "Movendi", "recharge-50",
     "Code de recharge valable sur tous les opérateurs partenaires, crédit valable 6 mois.",
     "Top-up code for every partner network, credit valid for 6 months.", 4, qRgb(233, 30, 99)},
    {205, "Recharge prépayée 5 €", "Prepaid top-up €5", 500, 0, 2, "Movendi", "recharge-5",
     "Code de recharge valable sur tous les opérateurs partenaires, crédit valable 15 jours.",
     "Top-up code for every partner network, credit valid for 15 days.", 6, qRgb(255, 152, 0)},
};

QString codeArticle(int reference)
{
    const QString douze = QStringLiteral("3760123%1").arg(reference, 5, 10, QLatin1Char('0'));
    return douze + QString::number(chiffreControleEan13(douze));
}

QString avecLuhn(const QString &chiffres)
{
    return chiffres + QString::number(chiffreControleLuhn(chiffres));
}

// Characters outside ASCII as the code page escapes of the rich-text format.
QString texteRtf(const QString &texte)
{
    QString rtf;
    for (QChar c : texte) {
        if (c == QLatin1Char('\\') || c == QLatin1Char('{') || c == QLatin1Char('}')) {
            rtf += QLatin1Char('\\') + c;
        } else if (c.unicode() < 128) {
            rtf += c;
        } else if (const int code = Platform::windows1252Code(c); code >= 0) {
            rtf += QStringLiteral("\\'%1").arg(code, 2, 16, QLatin1Char('0'));
        } else {
            rtf += QStringLiteral("\\u%1?").arg(int(c.unicode()));
        }
    }
    return rtf;
}

QByteArray documentRtf(const QString &titre, const QString &texte, const QString &prix)
{
    const QString rtf =
        QStringLiteral("{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}"
                       "{\\colortbl;\\red16\\green35\\blue63;}\n"
                       "\\f0\\fs36\\cf1{\\b %1}\\par\n\\fs26 %2\\par\n\\fs30{\\b %3}\\par\n}\n")
            .arg(texteRtf(titre), texteRtf(texte), texteRtf(prix));
    return rtf.toLatin1();
}

// The identifiers of the n-th unit delivered, as the demo store gives them.
QString imeiDemo(int reference, int serie)
{
    return avecLuhn(QStringLiteral("35%1%2").arg(209000 + reference).arg(410000 + serie * 37));
}

QString simDemo(int serie)
{
    return avecLuhn(QStringLiteral("893301%1").arg(qint64(470000000000) + serie * 7919));
}

QString serieRechargeDemo(int reference, int serie)
{
    return QStringLiteral("7%1%2").arg(reference).arg(qint64(583000000000) + serie * 104729);
}

QString prixTexte(int centimes)
{
    return Money::Monnaie::depuisCentimes(centimes).texte({true, false, true});
}

QImage imageTelephone(const ArticleDemo &a)
{
    QImage image(300, 600, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(35, 35, 40));
    p.drawRoundedRect(QRectF(45, 20, 210, 560), 34, 34);
    QLinearGradient ecran(0, 60, 0, 520);
    ecran.setColorAt(0, QColor(a.couleur).lighter(150));
    ecran.setColorAt(1, QColor(a.couleur).darker(130));
    p.setBrush(ecran);
    p.drawRoundedRect(QRectF(58, 50, 184, 490), 18, 18);
    p.setBrush(QColor(20, 20, 24));
    p.drawRoundedRect(QRectF(125, 30, 50, 10), 5, 5);
    p.setPen(Qt::white);
    QFont police = p.font();
    police.setPixelSize(30);
    police.setBold(true);
    p.setFont(police);
    p.drawText(QRectF(58, 220, 184, 60), Qt::AlignCenter, QString::fromUtf8(a.marque));
    police.setPixelSize(44);
    p.setFont(police);
    p.drawText(QRectF(58, 120, 184, 60), Qt::AlignCenter, QStringLiteral("12:30"));
    return image;
}

QImage imageRecharge(const ArticleDemo &a)
{
    QImage image(480, 300, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient fond(0, 0, 480, 300);
    fond.setColorAt(0, QColor(a.couleur).lighter(120));
    fond.setColorAt(1, QColor(a.couleur).darker(140));
    p.setPen(Qt::NoPen);
    p.setBrush(fond);
    p.drawRoundedRect(QRectF(15, 15, 450, 270), 26, 26);
    p.setPen(Qt::white);
    QFont police = p.font();
    police.setBold(true);
    police.setPixelSize(96);
    p.setFont(police);
    p.drawText(QRectF(15, 60, 450, 130), Qt::AlignCenter,
               Money::Monnaie::depuisCentimes(a.prixCentimes).texte({false, false, true}));
    police.setPixelSize(30);
    p.setFont(police);
    p.drawText(QRectF(15, 190, 450, 60), Qt::AlignCenter, QStringLiteral("RECHARGE"));
    return image;
}

void ecrire(const QString &chemin, const QByteArray &contenu)
{
    QFile file(chemin);
    if (!file.open(QIODevice::WriteOnly) || file.write(contenu) != contenu.size())
        throw Journal::Erreurs::accesFichier(chemin, file.errorString());
}

} // namespace

int chiffreControleEan13(const QString &douzeChiffres)
{
    int somme = 0;
    for (int i = 0; i < 12 && i < douzeChiffres.size(); ++i)
        somme += douzeChiffres.at(i).digitValue() * (i % 2 == 0 ? 1 : 3);
    return (10 - somme % 10) % 10;
}

int chiffreControleLuhn(const QString &chiffresSansControle)
{
    int somme = 0;
    bool doubler = true; // the digit next to the check digit is doubled
    for (qsizetype i = chiffresSansControle.size() - 1; i >= 0; --i, doubler = !doubler) {
        int d = chiffresSansControle.at(i).digitValue();
        if (doubler && (d *= 2) > 9)
            d -= 9;
        somme += d;
    }
    return (10 - somme % 10) % 10;
}

bool ean13Valide(const QString &code)
{
    return code.size() == 13 &&
           std::all_of(code.begin(), code.end(), [](QChar c) { return c.isDigit(); }) &&
           chiffreControleEan13(code.left(12)) == code.at(12).digitValue();
}

bool luhnValide(const QString &code)
{
    return code.size() >= 2 &&
           std::all_of(code.begin(), code.end(), [](QChar c) { return c.isDigit(); }) &&
           chiffreControleLuhn(code.left(code.size() - 1)) == code.back().digitValue();
}

void remplirCatalogueDemo(Store::StoreDatabase &base, const QString &dossierImages,
                          QStringList *compteRendu)
{
    if (!QDir().mkpath(dossierImages))
        throw Journal::Erreurs::accesFichier(dossierImages,
                                             QStringLiteral("dossier impossible à créer"));

    base.debuterTransaction();
    try {
        base.executer(
            QStringLiteral("INSERT INTO InfoSociete (Nom, Adresse, Ville, CodePostal, Tel, Fax) "
                           "VALUES (?, ?, ?, ?, ?, ?)"),
            {QStringLiteral("Movendi Distribution"), QStringLiteral("14 rue de la République"),
             QStringLiteral("Lyon"), QStringLiteral("69002"), QStringLiteral("04 78 42 17 60"),
             QStringLiteral("04 78 42 17 61")});

        creerEmplacementsTambour(base);

        int serie = 0;
        for (const ArticleDemo &a : articles) {
            const QString code = codeArticle(a.reference);
            base.executer(
                QStringLiteral(
                    "INSERT INTO ArticleEnStock (Reference, Designation, DesignationEN, Prix, "
                    "EcoTaxe, Famille, Marque, CodeBar, Image) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                {a.reference, QString::fromUtf8(a.designation), QString::fromUtf8(a.designationEN),
                 Store::StoreDatabase::versBase(Money::Monnaie::depuisCentimes(a.prixCentimes)),
                 Store::StoreDatabase::versBase(Money::Monnaie::depuisCentimes(a.ecoTaxeCentimes)),
                 a.famille, QString::fromUtf8(a.marque), code, QString::fromUtf8(a.image)});

            // Free locations in the order staff fill them: column by column, level by level.
            const QString libres =
                a.famille == 1
                    ? QStringLiteral(
                          "SELECT NoEmpl FROM EmplacementsMachine1 WHERE Reference IS NULL "
                          "AND Etage > 2 ORDER BY Colonne, Etage LIMIT ?")
                    : QStringLiteral(
                          "SELECT NoEmpl FROM EmplacementsMachine1 WHERE Reference IS NULL "
                          "AND Etage < 3 ORDER BY Colonne, Etage LIMIT ?");
            const auto places = base.lire(libres, {a.unites});
            for (const QVariantList &place : places.lignes) {
                ++serie;
                QVariant imei, sim;
                if (a.famille == 1) {
                    imei = imeiDemo(a.reference, serie);
                    sim = simDemo(serie);
                } else {
                    sim = serieRechargeDemo(a.reference, serie);
                }
                base.executer(
                    QStringLiteral(
                        "UPDATE EmplacementsMachine1 SET Reference = ?, IMEI = ?, NoSIM = ?, "
                        "EAN13 = ?, NoCommande = ? WHERE NoEmpl = ?"),
                    {a.reference, imei, sim, code,
                     a.famille == 1 ? QStringLiteral("CMD-2026-1104")
                                    : QStringLiteral("CMD-2026-1121"),
                     place.at(0)});
            }

            const QDir images(dossierImages);
            const QString nom = QString::fromUtf8(a.image);
            const QImage image = a.famille == 1 ? imageTelephone(a) : imageRecharge(a);
            if (!image.save(images.filePath(nom + QStringLiteral(".jpg")), "JPG", 90))
                throw Journal::Erreurs::accesFichier(images.filePath(nom + QStringLiteral(".jpg")),
                                                     QStringLiteral("image non écrite"));
            const QString prix = prixTexte(a.prixCentimes);
            ecrire(images.filePath(nom + QStringLiteral(".rtf")),
                   documentRtf(QString::fromUtf8(a.designation), QString::fromUtf8(a.descriptionFR),
                               prix));
            ecrire(images.filePath(nom + QStringLiteral("EN.rtf")),
                   documentRtf(QString::fromUtf8(a.designationEN),
                               QString::fromUtf8(a.descriptionEN), prix));
        }
        base.valider();
    } catch (...) {
        base.annuler();
        throw;
    }
    if (compteRendu)
        compteRendu->append(QStringLiteral("catalogue: %1 articles, tambour de %2 emplacements")
                                .arg(std::size(articles))
                                .arg(ColonnesTambour * EtagesTambour));
}

bool ecrireListeLivraisonDemo(const QString &chemin, QString *erreur)
{
    Reporting::ClasseurExcel liste(QStringLiteral("Feuil1"),
                                   {QStringLiteral("NumIMEI"), QStringLiteral("NSCE"),
                                    QStringLiteral("NSTE"), QStringLiteral("EAN13"),
                                    QStringLiteral("NoCommande")});
    const QString commande = QStringLiteral("CMD-2026-1208");
    // Series far above the units already in the machine, so none of them is there yet.
    int serie = 900;
    for (int reference : {106, 101, 104, 103}) {
        ++serie;
        liste.ajouterLigne({imeiDemo(reference, serie).toDouble(), simDemo(serie), std::monostate(),
                            codeArticle(reference).toDouble(), commande});
    }
    for (int reference : {201, 205, 202, 204}) {
        ++serie;
        liste.ajouterLigne({std::monostate(), std::monostate(), serieRechargeDemo(reference, serie),
                            codeArticle(reference).toDouble(), commande});
    }
    return liste.ecrire(chemin, erreur);
}

} // namespace Movendi::Admin
