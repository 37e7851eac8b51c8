#include "i18n/modtranslate.h"

#include "platform/profilefile.h"

#include <QAbstractButton>
#include <QLabel>
#include <QMovie>
#include <QPixmap>
#include <QPointer>
#include <QVariant>
#include <QWidget>
#include <optional>

namespace Movendi::I18n {

namespace {

// One step of the translation: whatever goes wrong in it costs that step only.
template <typename Etape> void tenter(Etape &&etape)
{
    try {
        etape();
    } catch (...) {
    }
}

bool estImage(const QLabel *label)
{
    return label->movie() || !label->pixmap().isNull();
}

std::optional<QString> legende(const QWidget *controle)
{
    if (const auto *label = qobject_cast<const QLabel *>(controle)) {
        if (estImage(label))
            return std::nullopt;
        return label->text();
    }
    if (const auto *bouton = qobject_cast<const QAbstractButton *>(controle))
        return bouton->text();
    const QVariant propriete = controle->property("caption");
    if (propriete.isValid() && propriete.canConvert<QString>())
        return propriete.toString();
    return std::nullopt;
}

void changerLegende(QWidget *controle, const QString &texte)
{
    if (auto *label = qobject_cast<QLabel *>(controle))
        label->setText(texte);
    else if (auto *bouton = qobject_cast<QAbstractButton *>(controle))
        bouton->setText(texte);
    else
        controle->setProperty("caption", texte);
}

// "Name(i)" for a member of a control array, "Name" for a single control.
QString nomCle(const QWidget *controle)
{
    const QVariant index = controle->property("index");
    bool estMembre = false;
    const int i = index.isValid() ? index.toInt(&estMembre) : 0;
    if (!estMembre)
        return controle->objectName();
    return controle->objectName() + QLatin1Char('(') + QString::number(i) + QLatin1Char(')');
}

// A control of the screen itself, not of a window that merely has the screen as parent.
bool appartientA(const QWidget *ecran, const QWidget *controle)
{
    for (const QWidget *w = controle; w && w != ecran; w = w->parentWidget()) {
        if (w->isWindow())
            return false;
    }
    return true;
}

void traduireControle(QWidget *controle, const QString &fichier, const QString &section)
{
    const QString nom = nomCle(controle);
    tenter([&] {
        const std::optional<QString> actuelle = legende(controle);
        if (!actuelle)
            return;
        const QString texte =
            LireCleLangue(fichier, section, nom + QStringLiteral(".Caption"), *actuelle);
        if (texte != *actuelle)
            changerLegende(controle, texte);
    });
    tenter([&] {
        const QString actuelle = controle->toolTip();
        const QString texte =
            LireCleLangue(fichier, section, nom + QStringLiteral(".ToolTipText"), actuelle);
        if (texte != actuelle)
            controle->setToolTip(texte);
    });
}

} // namespace

QString LireCleLangue(const QString &fichier, const QString &section, const QString &cle,
                      const QString &defaut)
{
    if (section.isEmpty() || cle.isEmpty())
        return defaut;
    const Platform::ProfileValue lu = Platform::readProfileString(fichier, section, cle);
    return lu.status == Platform::ProfileStatus::Found ? lu.value : defaut;
}

void TraduireForm(QWidget *ecran, const QString &fichier)
{
    if (!ecran)
        return;
    tenter([&] {
        const QString section = ecran->objectName();
        if (section.isEmpty())
            return;
        tenter([&] {
            const QString titre = ecran->windowTitle();
            const QString texte = LireCleLangue(fichier, section, titre, titre);
            if (texte != titre)
                ecran->setWindowTitle(texte);
        });
        // Guarded: a caption setter of a custom control may rebuild its own children.
        QList<QPointer<QWidget>> controles;
        for (QWidget *controle : ecran->findChildren<QWidget *>())
            controles.append(controle);
        for (const QPointer<QWidget> &controle : controles) {
            if (!controle || controle->objectName().isEmpty() || !appartientA(ecran, controle))
                continue;
            tenter([&] { traduireControle(controle, fichier, section); });
        }
    });
}

} // namespace Movendi::I18n
