#include "entrepot/entrepot.h"

#include "entrepot/connexionpg.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <algorithm>
#include <cctype>
#include <limits>

namespace Movendi::Backoffice {

namespace {

// A message that breaks the contract: what is wrong with it.
struct Refus
{
    QString raison;
};

QVariant nul()
{
    return QVariant(QMetaType(QMetaType::QString));
}

QVariant texteOuNul(const QJsonValue &v)
{
    return v.isString() ? QVariant(v.toString()) : nul();
}

// What an integer column holds: PostgreSQL refuses a value out of its range, and a refused
// message would be tried again forever.
enum class Colonne { Bigint, Integer };

bool dansLaColonne(const QJsonValue &v, Colonne colonne)
{
    if (!v.isDouble() || v.toDouble() != double(v.toInteger()))
        return false;
    return colonne == Colonne::Bigint || (v.toInteger() >= std::numeric_limits<qint32>::min() &&
                                          v.toInteger() <= std::numeric_limits<qint32>::max());
}

// The checks of the contract's fields, each refusing with the field's name.
class Champs
{
public:
    explicit Champs(const QJsonObject &o) : m_o(o) {}

    qint64 entier(const char *nom, Colonne colonne = Colonne::Bigint) const
    {
        const QJsonValue v = m_o.value(QLatin1String(nom));
        if (!dansLaColonne(v, colonne))
            throw Refus{QStringLiteral("champ \"%1\": entier attendu").arg(QLatin1String(nom))};
        return v.toInteger();
    }
    // Null unless a number, which must then be a whole one its column holds.
    QVariant entierOuNul(const char *nom, Colonne colonne = Colonne::Bigint) const
    {
        const QJsonValue v = m_o.value(QLatin1String(nom));
        if (!v.isDouble())
            return QVariant(QMetaType(QMetaType::LongLong));
        if (!dansLaColonne(v, colonne))
            throw Refus{QStringLiteral("champ \"%1\": entier attendu").arg(QLatin1String(nom))};
        return v.toInteger();
    }
    QString texte(const char *nom, bool nullable = false) const
    {
        const QJsonValue v = m_o.value(QLatin1String(nom));
        if (nullable && (v.isNull() || v.isUndefined()))
            return {};
        if (!v.isString())
            throw Refus{QStringLiteral("champ \"%1\": texte attendu").arg(QLatin1String(nom))};
        return v.toString();
    }
    bool booleen(const char *nom) const
    {
        const QJsonValue v = m_o.value(QLatin1String(nom));
        if (!v.isBool())
            throw Refus{QStringLiteral("champ \"%1\": booléen attendu").arg(QLatin1String(nom))};
        return v.toBool();
    }
    QJsonObject objet(const char *nom) const
    {
        const QJsonValue v = m_o.value(QLatin1String(nom));
        if (!v.isObject())
            throw Refus{QStringLiteral("champ \"%1\": objet attendu").arg(QLatin1String(nom))};
        return v.toObject();
    }
    QJsonArray tableau(const char *nom) const
    {
        const QJsonValue v = m_o.value(QLatin1String(nom));
        if (!v.isArray())
            throw Refus{QStringLiteral("champ \"%1\": tableau attendu").arg(QLatin1String(nom))};
        return v.toArray();
    }
    QJsonValue brut(const char *nom) const { return m_o.value(QLatin1String(nom)); }

private:
    QJsonObject m_o;
};

QString horodatage(const Champs &c)
{
    // The contract's one shape: Qt's reader takes shorter ones that PostgreSQL does not.
    static const QRegularExpression forme(
        QStringLiteral("^[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}(\\.[0-9]{1,6})?Z$"));
    const QString t = c.texte("horodatage");
    const QDateTime d = QDateTime::fromString(t, Qt::ISODateWithMs);
    if (!forme.match(t).hasMatch() || !d.isValid())
        throw Refus{QStringLiteral("champ \"horodatage\": heure UTC ISO 8601 attendue")};
    return d.toUTC().toString(Qt::ISODateWithMs);
}

// A card number kept whole has no place here: 13 digits or more in a row.
void carteMasquee(const QString &carte)
{
    static const QRegularExpression entier(QStringLiteral("\\d{13,}"));
    if (entier.match(carte).hasMatch())
        throw Refus{QStringLiteral("numéro de carte en clair")};
}

// What is kept of a message set aside: any run of 13 to 19 digits masked as a card number
// (first six, last four), whatever the message was.
QByteArray masquerCartes(const QByteArray &charge)
{
    QByteArray sortie = charge;
    qsizetype i = 0;
    while (i < sortie.size()) {
        if (!std::isdigit(static_cast<unsigned char>(sortie.at(i)))) {
            ++i;
            continue;
        }
        qsizetype fin = i;
        while (fin < sortie.size() && std::isdigit(static_cast<unsigned char>(sortie.at(fin))))
            ++fin;
        if (fin - i >= 13)
            for (qsizetype k = i + 6; k < fin - 4; ++k)
                sortie[k] = '*';
        i = fin;
    }
    return sortie;
}

// PostgreSQL's texts and jsonb hold no NUL character and no half of a surrogate pair, both of
// which Qt's JSON reader lets through.
bool textesValides(const QJsonValue &v)
{
    const auto valide = [](const QString &t) { return !t.contains(QChar(0)) && t.isValidUtf16(); };
    if (v.isString())
        return valide(v.toString());
    if (v.isArray()) {
        const QJsonArray a = v.toArray();
        return std::all_of(a.begin(), a.end(),
                           [](const QJsonValue &e) { return textesValides(e); });
    }
    if (v.isObject()) {
        const QJsonObject o = v.toObject();
        for (auto it = o.begin(); it != o.end(); ++it)
            if (!valide(it.key()) || !textesValides(it.value()))
                return false;
    }
    return true;
}

// The object as PostgreSQL's jsonb reads it: written again by Qt, whose reader takes control
// characters in texts that jsonb refuses unescaped.
QString jsonb(const QJsonObject &o)
{
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

QJsonObject objetJson(const QByteArray &charge)
{
    QJsonParseError erreur;
    const QJsonDocument doc = QJsonDocument::fromJson(charge, &erreur);
    if (erreur.error != QJsonParseError::NoError || !doc.isObject())
        throw Refus{QStringLiteral("pas un objet JSON")};
    if (!textesValides(doc.object()))
        throw Refus{QStringLiteral("texte avec un caractère nul ou un UTF-16 invalide")};
    return doc.object();
}

void versionEtKiosque(const Champs &c, const QString &kiosque)
{
    if (c.entier("v") != 1)
        throw Refus{QStringLiteral("version du contrat inconnue")};
    if (c.texte("kiosque") != kiosque)
        throw Refus{QStringLiteral("kiosque différent de celui du sujet")};
}

// What each type of event reports, in its table.
void rapporter(ConnexionPg &base, const QString &id, const QString &kiosque, const QString &type,
               const QString &quand, const Champs &c)
{
    if (type == QLatin1String("vente")) {
        const QJsonArray lignes = c.tableau("lignes");
        const QString carte = c.texte("carte", true);
        carteMasquee(carte);
        const qint64 statut = c.entier("statutDebit", Colonne::Integer);
        if (statut < 0 || statut > 2)
            throw Refus{QStringLiteral("champ \"statutDebit\": 0, 1 ou 2 attendu")};
        base.modifier(QStringLiteral("INSERT INTO ventes (id_evenement, kiosque, num_vente, "
                                     "horodatage, montant_centimes, statut_debit, reprise, carte, "
                                     "no_remise) VALUES (?, ?, ?, ?::timestamptz, ?, ?, ?, ?, ?)"),
                      {id, kiosque, c.entier("numVente"), quand, c.entier("montantCentimes"),
                       statut, c.booleen("reprise"), carte.isEmpty() ? nul() : QVariant(carte),
                       c.entierOuNul("noRemise", Colonne::Integer)});
        int rang = 0;
        for (const QJsonValue &v : lignes) {
            if (!v.isObject())
                throw Refus{QStringLiteral("champ \"lignes\": objets attendus")};
            const Champs l(v.toObject());
            base.modifier(QStringLiteral("INSERT INTO lignes_vente (id_evenement, rang, ref, "
                                         "designation, famille, montant_centimes, imei, serie) "
                                         "VALUES (?, ?, ?, ?, ?, ?, ?, ?)"),
                          {id, ++rang, l.entierOuNul("ref"), texteOuNul(l.brut("designation")),
                           l.entierOuNul("famille", Colonne::Integer), l.entier("montantCentimes"),
                           texteOuNul(l.brut("imei")), texteOuNul(l.brut("serie"))});
        }
    } else if (type == QLatin1String("stock")) {
        static const QStringList causes{QStringLiteral("vente"), QStringLiteral("remplissage"),
                                        QStringLiteral("destockage"), QStringLiteral("reprise")};
        const QString cause = c.texte("cause");
        if (!causes.contains(cause))
            throw Refus{QStringLiteral("champ \"cause\": cause inconnue")};
        base.modifier(QStringLiteral("INSERT INTO mouvements_stock (id_evenement, kiosque, "
                                     "horodatage, no_empl, ref, imei, serie, cause) VALUES (?, ?, "
                                     "?::timestamptz, ?, ?, ?, ?, ?)"),
                      {id, kiosque, quand, c.entier("noEmpl", Colonne::Integer),
                       c.entierOuNul("ref"), texteOuNul(c.brut("imei")),
                       texteOuNul(c.brut("serie")), cause});
    } else if (type == QLatin1String("telecollecte")) {
        const Champs local(c.objet("local"));
        base.modifier(QStringLiteral("INSERT INTO remises (id_evenement, kiosque, horodatage, "
                                     "no_remise, nb_transactions, montant_centimes, "
                                     "local_nb_debits, local_montant_centimes, ecart) VALUES (?, "
                                     "?, ?::timestamptz, ?, ?, ?, ?, ?, ?)"),
                      {id, kiosque, quand, c.entier("noRemise", Colonne::Integer),
                       c.entierOuNul("nbTransactions"), c.entier("montantCentimes"),
                       local.entier("nbDebits"), local.entier("montantCentimes"),
                       c.booleen("ecart")});
    } else if (type == QLatin1String("alarme")) {
        base.modifier(QStringLiteral("INSERT INTO alarmes (id_evenement, kiosque, horodatage, "
                                     "code, contexte, message) VALUES (?, ?, ?::timestamptz, ?, "
                                     "?, ?)"),
                      {id, kiosque, quand, c.texte("code"), texteOuNul(c.brut("contexte")),
                       texteOuNul(c.brut("message"))});
    } else if (type != QLatin1String("demarrage") && type != QLatin1String("arret")) {
        throw Refus{QStringLiteral("type d'événement inconnu: ") + type.left(40)};
    }
}

} // namespace

bool nomKiosqueValide(const QString &nom)
{
    static const QRegularExpression forme(QStringLiteral("^[A-Za-z0-9._-]{1,200}$"));
    return forme.match(nom).hasMatch();
}

Entrepot::Entrepot(ConnexionPg &base, QString prefixe) : m_base(base), m_prefixe(std::move(prefixe))
{
}

Reception Entrepot::recevoir(const QString &sujet, const QByteArray &charge,
                             const QDateTime &maintenant)
{
    Reception r;
    const QString debut = m_prefixe + QLatin1Char('/');
    const QStringList parties =
        sujet.startsWith(debut) ? sujet.mid(debut.size()).split(QLatin1Char('/')) : QStringList();
    const QString quand = maintenant.toUTC().toString(Qt::ISODateWithMs);
    try {
        if (parties.size() != 2 || !nomKiosqueValide(parties.at(0)))
            throw Refus{QStringLiteral("sujet hors du contrat")};
        r.kiosque = parties.at(0);
        const QString &quoi = parties.at(1);
        if (quoi == QLatin1String("commandes"))
            return r; // the service's own
        const auto vu = [&] {
            m_base.modifier(QStringLiteral("INSERT INTO kiosques (kiosque, derniere_vue) VALUES "
                                           "(?, ?::timestamptz) ON CONFLICT (kiosque) DO UPDATE "
                                           "SET derniere_vue = GREATEST(kiosques.derniere_vue, "
                                           "EXCLUDED.derniere_vue)"),
                            {r.kiosque, quand});
        };
        if (quoi == QLatin1String("presence")) {
            const QString presence = QString::fromUtf8(charge);
            if (presence != QLatin1String("en-ligne") && presence != QLatin1String("hors-ligne"))
                throw Refus{QStringLiteral("présence inconnue")};
            // One statement: a state or a presence is a thousand kiosks' every minute.
            m_base.modifier(
                QStringLiteral(
                    "INSERT INTO kiosques AS k (kiosque, presence, presence_depuis, derniere_vue) "
                    "VALUES (?, ?, ?::timestamptz, CASE WHEN ? THEN ?::timestamptz END) ON "
                    "CONFLICT (kiosque) DO UPDATE SET presence = EXCLUDED.presence, "
                    "presence_depuis = CASE WHEN k.presence IS DISTINCT FROM EXCLUDED.presence "
                    "THEN EXCLUDED.presence_depuis ELSE k.presence_depuis END, derniere_vue = "
                    "GREATEST(k.derniere_vue, EXCLUDED.derniere_vue)"),
                {r.kiosque, presence, quand, presence == QLatin1String("en-ligne"), quand});
        } else if (quoi == QLatin1String("etat")) {
            const QJsonObject o = objetJson(charge);
            const Champs c(o);
            versionEtKiosque(c, r.kiosque);
            horodatage(c);
            const bool enService = c.booleen("enService");
            m_base.modifier(
                QStringLiteral("INSERT INTO kiosques AS k (kiosque, derniere_vue, etat, etat_recu, "
                               "en_service) VALUES (?, ?::timestamptz, ?::jsonb, ?::timestamptz, "
                               "?) ON CONFLICT (kiosque) DO UPDATE SET derniere_vue = "
                               "GREATEST(k.derniere_vue, EXCLUDED.derniere_vue), etat = "
                               "EXCLUDED.etat, etat_recu = EXCLUDED.etat_recu, en_service = "
                               "EXCLUDED.en_service"),
                {r.kiosque, quand, jsonb(o), quand, enService});
        } else if (quoi == QLatin1String("evenements")) {
            const QJsonObject o = objetJson(charge);
            const Champs c(o);
            versionEtKiosque(c, r.kiosque);
            const qint64 seq = c.entier("seq");
            const QString id = c.texte("id");
            if (seq < 1 || id != r.kiosque + QLatin1Char(':') + QString::number(seq))
                throw Refus{QStringLiteral("id différent de kiosque:seq")};
            const QString type = c.texte("type");
            const QString moment = horodatage(c);
            bool nouveau = false;
            m_base.enTransaction([&] {
                vu();
                nouveau = m_base.modifier(
                              QStringLiteral("INSERT INTO evenements (id, kiosque, seq, type, "
                                             "horodatage, charge) VALUES (?, ?, ?, ?, "
                                             "?::timestamptz, ?::jsonb) ON CONFLICT (id) DO "
                                             "NOTHING"),
                              {id, r.kiosque, seq, type, moment, jsonb(o)}) == 1;
                if (nouveau)
                    rapporter(m_base, id, r.kiosque, type, moment, c);
            });
            r.issue = nouveau ? Reception::Stocke : Reception::Repete;
            return r;
        } else if (quoi == QLatin1String("reponses")) {
            const QJsonObject o = objetJson(charge);
            const Champs c(o);
            const QString resultat = c.texte("resultat");
            // The kiosk's answer to a command it could not read has no id: no command of ours.
            const QString id = c.texte("id", true);
            if (id.isEmpty())
                throw Refus{QStringLiteral("réponse sans id de commande")};
            if (resultat != QLatin1String("ok") && resultat != QLatin1String("refuse"))
                throw Refus{QStringLiteral("champ \"resultat\": ok ou refuse attendu")};
            m_base.enTransaction([&] {
                vu();
                m_base.modifier(QStringLiteral("INSERT INTO reponses (id, kiosque, resultat, "
                                               "message, recu) VALUES (?, ?, ?, ?, "
                                               "?::timestamptz) ON CONFLICT DO NOTHING"),
                                {id, r.kiosque, resultat, texteOuNul(c.brut("message")), quand});
            });
        } else {
            throw Refus{QStringLiteral("sujet hors du contrat")};
        }
        r.issue = Reception::Stocke;
        return r;
    } catch (const Refus &refus) {
        r.issue = Reception::Rejete;
        r.raison = refus.raison;
        mettreDeCote(sujet, charge, maintenant, refus.raison);
        return r;
    }
}

void Entrepot::mettreDeCote(const QString &sujet, const QByteArray &charge,
                            const QDateTime &maintenant, const QString &raison)
{
    ++m_rejetes;
    // The topic is text: no NUL of a broken client may make the database refuse this too.
    m_base.modifier(QStringLiteral("INSERT INTO messages_rejetes (recu, sujet, charge, raison) "
                                   "VALUES (?::timestamptz, ?, ?, ?)"),
                    {maintenant.toUTC().toString(Qt::ISODateWithMs),
                     sujet.left(500).replace(QChar(0), QChar::ReplacementCharacter),
                     masquerCartes(charge.left(65536)), raison});
}

} // namespace Movendi::Backoffice
