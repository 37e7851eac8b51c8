#pragma once

#include <QObject>
#include <QString>

namespace Movendi::Platform {
class KioskTimer;
}

namespace Movendi::Sale {

class PosteVente;

// Keeps the kiosk out of service while the store or the error journal refuses writes (locked
// past its busy time-out, full disk, read-only file, I/O error). Going out of service is
// journalled and mailed once; a write is tried again every RelanceMs; once one goes through,
// the sale journal the store lacks is written and every sale left in flight is settled (a
// locker the customer reached emptied, a debit still owed sent once, the sale recorded) before
// the kiosk takes a customer again.
class SurveillanceMagasin : public QObject
{
    Q_OBJECT
public:
    explicit SurveillanceMagasin(PosteVente &poste, QObject *parent = nullptr);
    ~SurveillanceMagasin() override;

    // At start-up, before the home screen: true when the kiosk may sell.
    bool verifierAuDemarrage();
    // A write of a sale failed past its retries.
    void signalerEchec(const QString &raison);
    // One try, as the timer makes it; true once back in service. Never inside a sale or the
    // nightly run.
    bool essayer();

    static constexpr int RelanceMs = 30000;

private:
    // Everything the kiosk writes, checked; the reason when something refuses.
    bool verifier(QString *raison);

    PosteVente &m_poste;
    Platform::KioskTimer *m_timer;
};

} // namespace Movendi::Sale
