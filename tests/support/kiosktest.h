#pragma once

#include <QProcessEnvironment>

#include "manualclock.h"
#include "platform/installation.h"
#include "platform/messagebox.h"

#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace Movendi::Test {

struct JournalRow
{
    QString date;
    QString contexte;
    QString erreur;
};

// Base fixture: a fresh application folder, a manual clock, a recording message box and a
// start-up state reset to that of a program that has not started.
class KioskTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    QString folder() const { return m_dir.path(); }
    QString path(const QString &name) const { return m_dir.filePath(name); }

    void writeFile(const QString &name, const QByteArray &content) const;
    QByteArray readFile(const QString &name) const;

    // Lays the folder out as the staff tool does (configuration, journal, exchange folder,
    // simulated mechanism library).
    void layOutApplicationFolder() const;
    // The laid-out folder as the kiosk sees it: its profile file and images named in the shared
    // state; with `lire`, its configuration read as start-up reads it.
    void useApplicationFolder(bool lire = false) const;
    // The mechanism's exchange folder, where the simulated mechanism finds its settings.
    void useExchangeFolder() const;
    void createJournal() const;
    QList<JournalRow> journalRows() const;
    // The error texts journalled under a context, oldest first.
    QStringList journal(const QString &contexte) const;

    // Installed for the fixture's life.
    ManualClock m_clock;
    Platform::RecordingMessageBox m_boxes;
    const Platform::InstalledClock m_horlogeInstallee{&m_clock};
    const Platform::InstalledMessageBox m_boitesInstallees{&m_boxes};

private:
    QTemporaryDir m_dir;
};

// A kiosk started as a process runs on this machine's clock: its nightly window is put half a
// day from now, so that no night starts inside a test whatever the hour it runs at.
void eloignerNuit(const QString &cheminIni);

// For a program that plays the attract film under the sanitizers: no leak check at its exit. Qt
// Multimedia keeps PulseAudio's context to the end, and this LeakSanitizer reports everything that
// context reaches (the windows' buffers) even once the context itself is suppressed.
void sansControleFuitesFilm(QProcessEnvironment &env);

// Where the build put the programs and libraries the tests drive.
QString binaryPath(const char *name);
QString simulatorLibraryPath();

} // namespace Movendi::Test
