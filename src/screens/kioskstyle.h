#pragma once

#include <QString>

class QFrame;
class QLabel;
class QPushButton;
class QWidget;

namespace Movendi::Screens {

// The kiosk's look, shared by the customer screens: large touch targets and type readable from
// a metre away, on a light background with the shop's navy and teal.
namespace KioskStyle {
QString feuille();
QLabel *titre(const QString &nom, QWidget *parent);
QLabel *prix(const QString &nom, QWidget *parent);
QLabel *alerte(const QString &nom, const QString &texte, QWidget *parent);
// role: "valider", "annuler", "secondaire" or "langue"
QPushButton *bouton(const QString &nom, const QString &texte, const QString &role, QWidget *parent);
// The brand band at the top of every customer screen.
QFrame *bandeau(QWidget *parent);
} // namespace KioskStyle

} // namespace Movendi::Screens
