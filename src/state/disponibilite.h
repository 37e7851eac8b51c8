#pragma once

#include <QObject>
#include <QString>

#include <map>

namespace Movendi::State {

// Why the kiosk takes no customer now. Each reason is set by the part that knows it and cleared
// when it ends; while any holds, the home screen shows "Momentanément indisponible" and offers
// no article.
enum class Indisponibilite {
    MagasinNonInscriptible, // the store or the error journal refuses writes
    NuitEnCours,            // the nightly remittance, backup and reports
    HorsServiceFlotte,      // the operator said so from the fleet's back-office
};

class Disponibilite : public QObject
{
    Q_OBJECT
public:
    bool disponible() const { return m_raisons.empty(); }
    bool contient(Indisponibilite raison) const { return m_raisons.count(raison) != 0; }
    // What the part that set it said, for the journal and staff.
    QString detail(Indisponibilite raison) const;

    void mettre(Indisponibilite raison, const QString &detail = {});
    void lever(Indisponibilite raison);
    // Every reason cleared (a fresh start, tests).
    void reinitialiser();

signals:
    void changee();

private:
    std::map<Indisponibilite, QString> m_raisons;
};

Disponibilite &disponibilite();

} // namespace Movendi::State
