#include "reporting/fichiercomposite.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-stdio.h>
#include <gsf/gsf-utils.h>
#include <mutex>
#include <unistd.h>

namespace Movendi::Reporting {

namespace {

// Owns one reference to a GObject.
template <typename T> class Ref
{
public:
    explicit Ref(T *p = nullptr) : m_p(p) {}
    ~Ref()
    {
        if (m_p)
            g_object_unref(m_p);
    }
    Ref(const Ref &) = delete;
    Ref &operator=(const Ref &) = delete;
    T *get() const { return m_p; }

private:
    T *m_p;
};

QString raison(const GsfOutput *sortie, const QString &parDefaut)
{
    const GError *e = sortie ? gsf_output_error(sortie) : nullptr;
    return e && e->message ? QString::fromUtf8(e->message) : parDefaut;
}

// A name beside the target that nothing uses yet.
QString cheminTemporaire(const QString &chemin)
{
    const QFileInfo cible(chemin);
    for (;;) {
        const QString nom =
            QStringLiteral(".%1.%2.tmp")
                .arg(cible.fileName())
                .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
        const QString candidat = cible.dir().filePath(nom);
        if (!QFileInfo::exists(candidat))
            return candidat;
    }
}

// The compound file at temporaire, closed; the reason when it could not be written.
QString ecrireConteneur(const QString &temporaire, const QString &nomFlux,
                        const QList<QByteArrayView> &flux)
{
    static std::once_flag initialise;
    std::call_once(initialise, [] { gsf_init(); });

    GError *err = nullptr;
    Ref<GsfOutput> fichier(gsf_output_stdio_new(QFile::encodeName(temporaire).constData(), &err));
    if (!fichier.get()) {
        const QString r = err && err->message ? QString::fromUtf8(err->message)
                                              : QStringLiteral("création impossible");
        if (err)
            g_error_free(err);
        return r;
    }
    Ref<GsfOutfile> ole(gsf_outfile_msole_new(fichier.get()));
    Ref<GsfOutput> enfant(
        ole.get() ? gsf_outfile_new_child(ole.get(), nomFlux.toUtf8().constData(), FALSE)
                  : nullptr);
    bool ok = enfant.get() != nullptr;
    QString r = ok ? QString() : QStringLiteral("flux %1 impossible à créer").arg(nomFlux);
    for (const QByteArrayView morceau : flux) {
        if (ok && !morceau.isEmpty() &&
            !gsf_output_write(enfant.get(), gsize(morceau.size()),
                              reinterpret_cast<const guint8 *>(morceau.data()))) {
            ok = false;
            r = raison(enfant.get(), QStringLiteral("écriture du flux %1 impossible").arg(nomFlux));
        }
    }
    // Closed in every case, so that the library drops what it wrote when something failed.
    if (enfant.get() && !gsf_output_close(enfant.get()) && ok) {
        ok = false;
        r = raison(enfant.get(), QStringLiteral("fermeture du flux %1 impossible").arg(nomFlux));
    }
    if (ole.get() && !gsf_output_close(GSF_OUTPUT(ole.get())) && ok) {
        ok = false;
        r = raison(GSF_OUTPUT(ole.get()), QStringLiteral("fermeture du conteneur impossible"));
    }
    if (!gsf_output_is_closed(fichier.get()) && !gsf_output_close(fichier.get()) && ok) {
        ok = false;
        r = raison(fichier.get(), QStringLiteral("fermeture du fichier impossible"));
    }
    if (ok && gsf_output_error(fichier.get())) {
        ok = false;
        r = raison(fichier.get(), QString());
    }
    return ok ? QString() : r;
}

// Data on disk before the rename, so that a power cut never leaves an empty workbook.
bool synchroniser(const QString &chemin)
{
    QFile f(chemin);
    return f.open(QIODevice::ReadOnly) && ::fsync(f.handle()) == 0;
}

} // namespace

bool ecrireFichierComposite(const QString &chemin, const QString &nomFlux,
                            const QList<QByteArrayView> &flux, QString *erreur)
{
    const auto echec = [&](const QString &r) {
        if (erreur)
            *erreur = QStringLiteral("%1 : %2").arg(QDir::toNativeSeparators(chemin), r);
        return false;
    };
    if (!QFileInfo(chemin).dir().exists())
        return echec(QStringLiteral("le dossier n'existe pas"));

    const QString temporaire = cheminTemporaire(chemin);
    QString r = ecrireConteneur(temporaire, nomFlux, flux);
    if (r.isEmpty() && !synchroniser(temporaire))
        r = QStringLiteral("synchronisation impossible");
    if (r.isEmpty() && std::rename(QFile::encodeName(temporaire).constData(),
                                   QFile::encodeName(chemin).constData()) != 0)
        r = QString::fromLocal8Bit(std::strerror(errno));
    if (!r.isEmpty()) {
        QFile::remove(temporaire);
        return echec(r);
    }
    return true;
}

} // namespace Movendi::Reporting
