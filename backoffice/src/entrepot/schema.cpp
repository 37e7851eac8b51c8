#include "entrepot/schema.h"

#include "entrepot/connexionpg.h"

#include <QSqlQuery>
#include <QStringList>

namespace Movendi::Backoffice {

namespace {

// Each version's statements, in order. A version once released is never edited: the next one
// changes what it made.
const QList<QStringList> &versions()
{
    static const QList<QStringList> v{
        // 1: kiosks, events stored once, what they report, messages set aside, answers.
        {
            QStringLiteral("CREATE TABLE kiosques ("
                           " kiosque text PRIMARY KEY,"
                           " presence text,"
                           " presence_depuis timestamptz,"
                           " derniere_vue timestamptz,"
                           " en_service boolean,"
                           " etat jsonb,"
                           " etat_recu timestamptz)"),
            QStringLiteral("CREATE TABLE evenements ("
                           " id text PRIMARY KEY,"
                           " kiosque text NOT NULL REFERENCES kiosques,"
                           " seq bigint NOT NULL,"
                           " type text NOT NULL,"
                           " horodatage timestamptz NOT NULL,"
                           " recu timestamptz NOT NULL DEFAULT now(),"
                           " charge jsonb NOT NULL)"),
            QStringLiteral("CREATE INDEX evenements_par_kiosque ON evenements "
                           "(kiosque, type, horodatage)"),
            QStringLiteral("CREATE TABLE ventes ("
                           " id_evenement text PRIMARY KEY REFERENCES evenements,"
                           " kiosque text NOT NULL REFERENCES kiosques,"
                           " num_vente bigint NOT NULL,"
                           " horodatage timestamptz NOT NULL,"
                           " montant_centimes bigint NOT NULL,"
                           " statut_debit integer NOT NULL,"
                           " reprise boolean NOT NULL,"
                           " carte text,"
                           " no_remise integer)"),
            QStringLiteral("CREATE INDEX ventes_par_jour ON ventes (horodatage, kiosque)"),
            QStringLiteral("CREATE INDEX ventes_par_kiosque ON ventes (kiosque, horodatage)"),
            QStringLiteral("CREATE TABLE lignes_vente ("
                           " id_evenement text NOT NULL REFERENCES ventes,"
                           " rang integer NOT NULL,"
                           " ref bigint,"
                           " designation text,"
                           " famille integer,"
                           " montant_centimes bigint NOT NULL,"
                           " imei text,"
                           " serie text,"
                           " PRIMARY KEY (id_evenement, rang))"),
            QStringLiteral("CREATE TABLE mouvements_stock ("
                           " id_evenement text PRIMARY KEY REFERENCES evenements,"
                           " kiosque text NOT NULL REFERENCES kiosques,"
                           " horodatage timestamptz NOT NULL,"
                           " no_empl integer NOT NULL,"
                           " ref bigint,"
                           " imei text,"
                           " serie text,"
                           " cause text NOT NULL)"),
            QStringLiteral("CREATE INDEX mouvements_par_kiosque ON mouvements_stock "
                           "(kiosque, horodatage)"),
            QStringLiteral("CREATE TABLE remises ("
                           " id_evenement text PRIMARY KEY REFERENCES evenements,"
                           " kiosque text NOT NULL REFERENCES kiosques,"
                           " horodatage timestamptz NOT NULL,"
                           " no_remise integer NOT NULL,"
                           " nb_transactions bigint,"
                           " montant_centimes bigint NOT NULL,"
                           " local_nb_debits bigint NOT NULL,"
                           " local_montant_centimes bigint NOT NULL,"
                           " ecart boolean NOT NULL)"),
            QStringLiteral("CREATE INDEX remises_par_kiosque ON remises (kiosque, horodatage)"),
            QStringLiteral("CREATE TABLE alarmes ("
                           " id_evenement text PRIMARY KEY REFERENCES evenements,"
                           " kiosque text NOT NULL REFERENCES kiosques,"
                           " horodatage timestamptz NOT NULL,"
                           " code text NOT NULL,"
                           " contexte text,"
                           " message text)"),
            QStringLiteral("CREATE INDEX alarmes_par_kiosque ON alarmes (kiosque, horodatage)"),
            QStringLiteral("CREATE TABLE messages_rejetes ("
                           " id bigserial PRIMARY KEY,"
                           " recu timestamptz NOT NULL DEFAULT now(),"
                           " sujet text NOT NULL,"
                           " charge bytea NOT NULL,"
                           " raison text NOT NULL)"),
            QStringLiteral("CREATE TABLE reponses ("
                           " id text NOT NULL,"
                           " kiosque text NOT NULL REFERENCES kiosques,"
                           " resultat text NOT NULL,"
                           " message text,"
                           " recu timestamptz NOT NULL DEFAULT now(),"
                           " PRIMARY KEY (kiosque, id))"),
        },
        // 2: alerts, one open per kiosk and subject; the commands sent; the operators.
        {
            QStringLiteral("CREATE TABLE alertes ("
                           " id bigserial PRIMARY KEY,"
                           " kiosque text NOT NULL REFERENCES kiosques,"
                           " sujet text NOT NULL,"
                           " detail text,"
                           " ouverte timestamptz NOT NULL,"
                           " dernier_mail timestamptz NOT NULL,"
                           " rappels integer NOT NULL DEFAULT 0,"
                           " fermee timestamptz)"),
            QStringLiteral("CREATE UNIQUE INDEX alertes_ouvertes ON alertes (kiosque, sujet) "
                           "WHERE fermee IS NULL"),
            QStringLiteral("CREATE INDEX alertes_par_kiosque ON alertes (kiosque, ouverte)"),
            QStringLiteral("CREATE TABLE commandes ("
                           " id text PRIMARY KEY,"
                           " kiosque text NOT NULL REFERENCES kiosques,"
                           " commande text NOT NULL,"
                           " envoyee timestamptz NOT NULL,"
                           " par text NOT NULL)"),
            QStringLiteral("CREATE INDEX commandes_par_kiosque ON commandes (kiosque, envoyee)"),
            QStringLiteral("CREATE TABLE operateurs ("
                           " nom text PRIMARY KEY,"
                           " sel bytea NOT NULL,"
                           " hachage bytea NOT NULL,"
                           " iterations integer NOT NULL,"
                           " modifie timestamptz NOT NULL)"),
        },
    };
    return v;
}

} // namespace

int versionSchema(ConnexionPg &base)
{
    QSqlQuery q = base.executer(QStringLiteral("SELECT to_regclass('schema_version') IS NOT NULL"));
    if (!q.next() || !q.value(0).toBool())
        return 0;
    QSqlQuery v = base.executer(QStringLiteral("SELECT COALESCE(MAX(version), 0) FROM "
                                               "schema_version"));
    return v.next() ? v.value(0).toInt() : 0;
}

int mettreAJourSchema(ConnexionPg &base)
{
    base.enTransaction([&] {
        base.executer(QStringLiteral("SELECT pg_advisory_xact_lock(4242)"));
        base.executer(QStringLiteral("CREATE TABLE IF NOT EXISTS schema_version (version integer "
                                     "PRIMARY KEY, appliquee timestamptz NOT NULL DEFAULT now())"));
    });
    const int trouvee = versionSchema(base);
    if (trouvee > VersionSchema)
        throw ErreurBase(QStringLiteral("schéma en version %1, plus récente que ce programme (%2)")
                             .arg(trouvee)
                             .arg(VersionSchema));
    for (int version = trouvee + 1; version <= VersionSchema; ++version) {
        base.enTransaction([&] {
            base.executer(QStringLiteral("SELECT pg_advisory_xact_lock(4242)"));
            // Another init may have done it while this one waited.
            if (versionSchema(base) >= version)
                return;
            for (const QString &sql : versions().at(version - 1))
                base.executer(sql);
            base.executer(QStringLiteral("INSERT INTO schema_version (version) VALUES (?)"),
                          {version});
        });
    }
    return trouvee;
}

} // namespace Movendi::Backoffice
