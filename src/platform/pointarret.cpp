#include "platform/pointarret.h"

#include <QByteArray>
#include <QFile>

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace Movendi::Platform {

namespace {

struct Reglage
{
    long arret = 0; // 0: never
    QByteArray fichier;
    long atteints = 0;
};

Reglage &reglage()
{
    static Reglage r = [] {
        Reglage lu;
        lu.arret = qEnvironmentVariable("MOVENDI_POINT_ARRET").toLong();
        lu.fichier = qgetenv("MOVENDI_POINTS");
        return lu;
    }();
    return r;
}

std::function<void(const char *)> &observateur()
{
    static std::function<void(const char *)> o;
    return o;
}

} // namespace

ObservateurPoints observateurPoints()
{
    return observateur();
}

void installObservateurPoints(ObservateurPoints o)
{
    observateur() = std::move(o);
}

void pointArret(const char *nom)
{
    if (const auto &o = observateur())
        o(nom);
    Reglage &r = reglage();
    if (r.arret <= 0 && r.fichier.isEmpty())
        return;
    ++r.atteints;
    if (!r.fichier.isEmpty()) {
        QFile f(QString::fromLocal8Bit(r.fichier));
        if (f.open(QIODevice::WriteOnly | QIODevice::Append))
            f.write(QByteArray::number(qlonglong(r.atteints)) + ' ' + nom + '\n');
    }
    if (r.atteints == r.arret) {
        std::fprintf(stderr, "arrêt au point %ld: %s\n", r.atteints, nom);
        std::fflush(stderr);
        ::kill(::getpid(), SIGKILL);
    }
}

} // namespace Movendi::Platform
