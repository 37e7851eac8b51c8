#include "disqueenpanne.h"

#include <QByteArray>
#include <QFileInfo>

#include <atomic>
#include <cstring>
#include <mutex>
#include <sqlite3.h>

namespace Movendi::Test {

namespace {

struct Etat
{
    std::mutex mutex;
    DisqueEnPanne::Panne panne = DisqueEnPanne::Panne::Aucune;
    QByteArray fichier; // the watched file's name, without folder
    std::atomic<int> refus{0};
};

Etat &etat()
{
    static Etat e;
    return e;
}

sqlite3_vfs *systeme = nullptr;

struct Fichier
{
    sqlite3_file base;
    sqlite3_file *reel;
    bool surveille;
};

sqlite3_file *reel(sqlite3_file *f)
{
    return reinterpret_cast<Fichier *>(f)->reel;
}

// The error a write of this file gets now, or SQLITE_OK.
int refusEcriture(sqlite3_file *f)
{
    if (!reinterpret_cast<Fichier *>(f)->surveille)
        return SQLITE_OK;
    Etat &e = etat();
    const std::lock_guard<std::mutex> verrou(e.mutex);
    switch (e.panne) {
    case DisqueEnPanne::Panne::Aucune:
        return SQLITE_OK;
    case DisqueEnPanne::Panne::LectureSeule:
        ++e.refus;
        return SQLITE_READONLY;
    case DisqueEnPanne::Panne::DisquePlein:
        ++e.refus;
        return SQLITE_FULL;
    }
    return SQLITE_OK;
}

int xClose(sqlite3_file *f)
{
    const int rc = reel(f)->pMethods ? reel(f)->pMethods->xClose(reel(f)) : SQLITE_OK;
    f->pMethods = nullptr;
    return rc;
}
int xRead(sqlite3_file *f, void *b, int n, sqlite3_int64 o)
{
    return reel(f)->pMethods->xRead(reel(f), b, n, o);
}
int xWrite(sqlite3_file *f, const void *b, int n, sqlite3_int64 o)
{
    if (const int rc = refusEcriture(f))
        return rc;
    return reel(f)->pMethods->xWrite(reel(f), b, n, o);
}
int xTruncate(sqlite3_file *f, sqlite3_int64 n)
{
    if (const int rc = refusEcriture(f))
        return rc;
    return reel(f)->pMethods->xTruncate(reel(f), n);
}
int xSync(sqlite3_file *f, int flags)
{
    return reel(f)->pMethods->xSync(reel(f), flags);
}
int xFileSize(sqlite3_file *f, sqlite3_int64 *n)
{
    return reel(f)->pMethods->xFileSize(reel(f), n);
}
int xLock(sqlite3_file *f, int l)
{
    return reel(f)->pMethods->xLock(reel(f), l);
}
int xUnlock(sqlite3_file *f, int l)
{
    return reel(f)->pMethods->xUnlock(reel(f), l);
}
int xCheckReservedLock(sqlite3_file *f, int *r)
{
    return reel(f)->pMethods->xCheckReservedLock(reel(f), r);
}
int xFileControl(sqlite3_file *f, int op, void *a)
{
    return reel(f)->pMethods->xFileControl(reel(f), op, a);
}
int xSectorSize(sqlite3_file *f)
{
    return reel(f)->pMethods->xSectorSize(reel(f));
}
int xDeviceCharacteristics(sqlite3_file *f)
{
    return reel(f)->pMethods->xDeviceCharacteristics(reel(f));
}
int xShmMap(sqlite3_file *f, int i, int n, int w, void volatile **p)
{
    return reel(f)->pMethods->xShmMap(reel(f), i, n, w, p);
}
int xShmLock(sqlite3_file *f, int o, int n, int fl)
{
    return reel(f)->pMethods->xShmLock(reel(f), o, n, fl);
}
void xShmBarrier(sqlite3_file *f)
{
    reel(f)->pMethods->xShmBarrier(reel(f));
}
int xShmUnmap(sqlite3_file *f, int d)
{
    return reel(f)->pMethods->xShmUnmap(reel(f), d);
}
int xFetch(sqlite3_file *f, sqlite3_int64 o, int n, void **p)
{
    return reel(f)->pMethods->xFetch(reel(f), o, n, p);
}
int xUnfetch(sqlite3_file *f, sqlite3_int64 o, void *p)
{
    return reel(f)->pMethods->xUnfetch(reel(f), o, p);
}

const sqlite3_io_methods methodes = {
    3,
    xClose,
    xRead,
    xWrite,
    xTruncate,
    xSync,
    xFileSize,
    xLock,
    xUnlock,
    xCheckReservedLock,
    xFileControl,
    xSectorSize,
    xDeviceCharacteristics,
    xShmMap,
    xShmLock,
    xShmBarrier,
    xShmUnmap,
    xFetch,
    xUnfetch,
};

int xOpen(sqlite3_vfs *, sqlite3_filename nom, sqlite3_file *f, int flags, int *sortie)
{
    auto *fichier = reinterpret_cast<Fichier *>(f);
    fichier->reel = reinterpret_cast<sqlite3_file *>(fichier + 1);
    fichier->surveille = false;
    if (nom) {
        const QByteArray n = QFileInfo(QString::fromUtf8(nom)).fileName().toUtf8();
        Etat &e = etat();
        const std::lock_guard<std::mutex> verrou(e.mutex);
        fichier->surveille = !e.fichier.isEmpty() && n.startsWith(e.fichier);
    }
    const int rc = systeme->xOpen(systeme, nom, fichier->reel, flags, sortie);
    f->pMethods = rc == SQLITE_OK && fichier->reel->pMethods ? &methodes : nullptr;
    return rc;
}

int xDelete(sqlite3_vfs *, const char *n, int s)
{
    return systeme->xDelete(systeme, n, s);
}
int xAccess(sqlite3_vfs *, const char *n, int fl, int *r)
{
    return systeme->xAccess(systeme, n, fl, r);
}
int xFullPathname(sqlite3_vfs *, const char *n, int t, char *s)
{
    return systeme->xFullPathname(systeme, n, t, s);
}
void *xDlOpen(sqlite3_vfs *, const char *n)
{
    return systeme->xDlOpen(systeme, n);
}
void xDlError(sqlite3_vfs *, int n, char *m)
{
    systeme->xDlError(systeme, n, m);
}
void (*xDlSym(sqlite3_vfs *, void *h, const char *s))(void)
{
    return systeme->xDlSym(systeme, h, s);
}
void xDlClose(sqlite3_vfs *, void *h)
{
    systeme->xDlClose(systeme, h);
}
int xRandomness(sqlite3_vfs *, int n, char *o)
{
    return systeme->xRandomness(systeme, n, o);
}
int xSleep(sqlite3_vfs *, int us)
{
    return systeme->xSleep(systeme, us);
}
int xCurrentTime(sqlite3_vfs *, double *t)
{
    return systeme->xCurrentTime(systeme, t);
}
int xGetLastError(sqlite3_vfs *, int n, char *m)
{
    return systeme->xGetLastError(systeme, n, m);
}
int xCurrentTimeInt64(sqlite3_vfs *, sqlite3_int64 *t)
{
    return systeme->xCurrentTimeInt64(systeme, t);
}

sqlite3_vfs vfs;

} // namespace

void DisqueEnPanne::installer()
{
    static const bool fait = [] {
        systeme = sqlite3_vfs_find(nullptr);
        std::memset(&vfs, 0, sizeof vfs);
        vfs.iVersion = 2;
        vfs.szOsFile = int(sizeof(Fichier)) + systeme->szOsFile;
        vfs.mxPathname = systeme->mxPathname;
        vfs.zName = "disque-en-panne";
        vfs.xOpen = xOpen;
        vfs.xDelete = xDelete;
        vfs.xAccess = xAccess;
        vfs.xFullPathname = xFullPathname;
        vfs.xDlOpen = xDlOpen;
        vfs.xDlError = xDlError;
        vfs.xDlSym = xDlSym;
        vfs.xDlClose = xDlClose;
        vfs.xRandomness = xRandomness;
        vfs.xSleep = xSleep;
        vfs.xCurrentTime = xCurrentTime;
        vfs.xGetLastError = xGetLastError;
        vfs.xCurrentTimeInt64 = xCurrentTimeInt64;
        return sqlite3_vfs_register(&vfs, 1) == SQLITE_OK;
    }();
    Q_UNUSED(fait);
}

void DisqueEnPanne::panne(Panne panne, const QString &fichier)
{
    Etat &e = etat();
    const std::lock_guard<std::mutex> verrou(e.mutex);
    e.panne = panne;
    if (!fichier.isEmpty())
        e.fichier = QFileInfo(fichier).fileName().toUtf8();
    e.refus = 0;
}

int DisqueEnPanne::refus()
{
    return etat().refus;
}

} // namespace Movendi::Test
