#include "store/conversions.h"

#include "journal/erreur.h"
#include "journal/journal.h"

#include <QLocale>

namespace Movendi::Store {

QString ConvertNullStr(const QVariant &valeur)
{
    if (valeur.isNull())
        return {};
    if (!valeur.canConvert<QString>()) {
        Journal::SignalerErreur(
            QStringLiteral("ConvertNullStr"),
            Journal::Erreurs::typeIncompatible(QLatin1String(valeur.typeName())));
        return {};
    }
    return valeur.toString();
}

double ConvertNullDbl(const QVariant &valeur)
{
    if (valeur.isNull())
        return 0;
    if (valeur.typeId() == QMetaType::QString || valeur.typeId() == QMetaType::QByteArray) {
        const QString texte = valeur.toString().trimmed();
        if (texte.isEmpty())
            return 0;
        bool ok = false;
        double nombre = QLocale(QLocale::French, QLocale::France).toDouble(texte, &ok);
        if (!ok)
            nombre = QLocale::c().toDouble(texte, &ok);
        if (!ok)
            throw Journal::Erreurs::typeIncompatible(texte);
        return nombre;
    }
    bool ok = false;
    const double nombre = valeur.toDouble(&ok);
    if (!ok)
        throw Journal::Erreurs::typeIncompatible(QLatin1String(valeur.typeName()));
    return nombre;
}

} // namespace Movendi::Store
