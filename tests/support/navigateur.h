#pragma once

#include "helperprocess.h"

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <optional>

namespace Movendi::Test {

// Debian's headless Chromium driven through ChromeDriver (the WebDriver protocol over HTTP on
// loopback), as an operator's browser would use the pages: no network beyond loopback, a
// profile of its own in a temporary folder, a 1280x1024 window.
class Navigateur
{
public:
    Navigateur() = default;
    ~Navigateur();
    Navigateur(const Navigateur &) = delete;
    Navigateur &operator=(const Navigateur &) = delete;

    // Starts the driver and opens a session; adds a test failure and returns false otherwise.
    bool demarrer(int largeur = 1280, int hauteur = 1024);

    bool ouvrir(const QString &url);
    bool redimensionner(int largeur, int hauteur);
    QString url();
    QString source();
    // Types into, or clicks, the first element the CSS selector finds; false when none.
    bool saisir(const QString &selecteur, const QString &texte);
    bool cliquer(const QString &selecteur);
    // The visible text of each element the selector finds.
    QStringList textes(const QString &selecteur);
    // Runs a script in the page; its result.
    QJsonValue script(const QString &corps);
    // The value of one of the page's cookies, for requests made beside the browser.
    QByteArray cookie(const QString &nom);
    // The page as a PNG picture.
    QByteArray capture();

private:
    // One WebDriver call; its "value", or none (with a test failure) when it failed.
    std::optional<QJsonValue> appel(const QByteArray &methode, const QString &chemin,
                                    const QJsonObject &corps = {});
    std::optional<QString> element(const QString &selecteur);

    HelperProcess m_pilote{"chromedriver"};
    QTemporaryDir m_profil;
    quint16 m_port = 0;
    QString m_session;
};

} // namespace Movendi::Test
