#include "machine/grafcetlibrary.h"

#include <QFile>

#include <dlfcn.h>

namespace Movendi::Machine {

GrafcetLibrary::~GrafcetLibrary()
{
    unload();
}

void GrafcetLibrary::unload()
{
    if (m_handle)
        dlclose(m_handle);
    m_handle = nullptr;
    m_initGrafcet = m_razTpv = nullptr;
    m_checkDoor = m_initMotor = nullptr;
    m_drumPosition = m_openDoor = m_closeDoor = nullptr;
}

bool GrafcetLibrary::load(const QString &path, ControleProvenance controle)
{
    unload();
    m_error.clear();
    if (!QFile::exists(path)) {
        m_error = QStringLiteral("bibliothèque %1 introuvable").arg(path);
        return false;
    }
    QString ouvert = path;
    if (controle == ControleProvenance::DossierRoot) {
        const ProvenanceBibliotheque provenance = examinerProvenance(path);
        if (!provenance.sure()) {
            m_error = QStringLiteral("bibliothèque %1 refusée: %2").arg(path, provenance.refus);
            return false;
        }
        // The resolved path: a link swapped after the check cannot lead elsewhere.
        ouvert = provenance.chemin;
    }
    m_handle = dlopen(QFile::encodeName(ouvert).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!m_handle) {
        m_error = QStringLiteral("bibliothèque %1 non chargée: %2")
                      .arg(path, QString::fromLocal8Bit(dlerror()));
        return false;
    }
    QStringList missing;
    auto resolve = [&](auto &slot, const char *name) {
        slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(dlsym(m_handle, name));
        if (!slot)
            missing.append(QString::fromLatin1(name));
    };
    resolve(m_initGrafcet, "init_grafcet");
    resolve(m_razTpv, "raz_tpv");
    resolve(m_checkDoor, "CheckDoor");
    resolve(m_initMotor, "InitMotor");
    resolve(m_drumPosition, "DrumPosition");
    resolve(m_openDoor, "OpenDoor");
    resolve(m_closeDoor, "CloseDoor");
    if (!missing.isEmpty()) {
        m_error = QStringLiteral("bibliothèque %1 sans la fonction %2")
                      .arg(path, missing.join(QLatin1String(", ")));
        unload();
        return false;
    }
    return true;
}

std::int32_t GrafcetLibrary::init_grafcet(std::int32_t mode)
{
    return m_initGrafcet ? m_initGrafcet(mode) : NotLoaded;
}

std::int32_t GrafcetLibrary::raz_tpv(std::int32_t mode)
{
    return m_razTpv ? m_razTpv(mode) : NotLoaded;
}

std::int32_t GrafcetLibrary::CheckDoor()
{
    return m_checkDoor ? m_checkDoor() : NotLoaded;
}

std::int32_t GrafcetLibrary::InitMotor()
{
    return m_initMotor ? m_initMotor() : NotLoaded;
}

std::int32_t GrafcetLibrary::DrumPosition(std::int32_t unit, std::int32_t position,
                                          std::int32_t speed)
{
    return m_drumPosition ? m_drumPosition(unit, position, speed) : NotLoaded;
}

std::int32_t GrafcetLibrary::OpenDoor(std::int32_t unit, std::int32_t position, std::int32_t speed)
{
    return m_openDoor ? m_openDoor(unit, position, speed) : NotLoaded;
}

std::int32_t GrafcetLibrary::CloseDoor(std::int32_t unit, std::int32_t position, std::int32_t speed)
{
    return m_closeDoor ? m_closeDoor(unit, position, speed) : NotLoaded;
}

} // namespace Movendi::Machine
