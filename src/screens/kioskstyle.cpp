#include "screens/kioskstyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace Movendi::Screens::KioskStyle {

QString feuille()
{
    return QStringLiteral(R"(
QWidget { background: #f3f5fa; color: #10233f; font-family: "DejaVu Sans", sans-serif; font-size: 22px; }
QFrame[role="bandeau"] { background: #10233f; border-radius: 18px; }
QFrame[role="bandeau"] QLabel { background: transparent; color: white; }
QFrame[role="carte"] { background: white; border: 2px solid #dde3ee; border-radius: 22px; }
QFrame[role="carte"] QLabel { background: transparent; }
QLabel[role="titre"] { font-size: 40px; font-weight: bold; }
QLabel[role="prix"] { font-size: 44px; font-weight: bold; color: #00876f; }
QLabel[role="nom"] { font-size: 24px; font-weight: bold; }
QLabel[role="prixTuile"] { font-size: 30px; font-weight: bold; color: #00876f; }
QLabel[role="alerte"] { font-size: 34px; font-weight: bold; color: white; background: #c62828; border-radius: 14px; padding: 16px; }
QTextBrowser { background: white; border-radius: 16px; padding: 12px; font-size: 22px; }
QPushButton { min-height: 88px; border-radius: 18px; padding: 0 36px; font-size: 28px; font-weight: bold;
              border: 3px solid #10233f; background: white; }
QPushButton:disabled { color: #9aa4b5; border-color: #c9d0dc; }
QPushButton[role="valider"] { background: #00a88f; color: white; border: none; min-width: 320px; }
QPushButton[role="valider"]:disabled { background: #b9d9d2; }
QPushButton[role="annuler"] { background: #e6e9f0; border: none; min-width: 260px; }
QPushButton[role="langue"] { background: #ffffff; min-width: 240px; }
)");
}

namespace {
QLabel *label(const QString &nom, const QString &role, const QString &texte, QWidget *parent)
{
    auto *l = new QLabel(texte, parent);
    l->setObjectName(nom);
    l->setProperty("role", role);
    return l;
}
} // namespace

QLabel *titre(const QString &nom, QWidget *parent)
{
    return label(nom, QStringLiteral("titre"), QString(), parent);
}

QLabel *prix(const QString &nom, QWidget *parent)
{
    return label(nom, QStringLiteral("prix"), QString(), parent);
}

QLabel *alerte(const QString &nom, const QString &texte, QWidget *parent)
{
    QLabel *l = label(nom, QStringLiteral("alerte"), texte, parent);
    l->setAlignment(Qt::AlignCenter);
    return l;
}

QPushButton *bouton(const QString &nom, const QString &texte, const QString &role, QWidget *parent)
{
    auto *b = new QPushButton(texte, parent);
    b->setObjectName(nom);
    b->setProperty("role", role);
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

QFrame *bandeau(QWidget *parent)
{
    auto *bande = new QFrame(parent);
    bande->setProperty("role", QStringLiteral("bandeau"));
    auto *layout = new QHBoxLayout(bande);
    layout->setContentsMargins(32, 14, 32, 14);
    auto *marque = new QLabel(QStringLiteral("MOVENDI"), bande);
    marque->setStyleSheet(
        QStringLiteral("font-size: 38px; font-weight: bold; letter-spacing: 6px;"));
    auto *slogan =
        new QLabel(QStringLiteral("Téléphones et recharges · Phones and top-ups"), bande);
    slogan->setStyleSheet(QStringLiteral("font-size: 20px; color: #8fd8cb;"));
    layout->addWidget(marque);
    layout->addStretch(1);
    layout->addWidget(slogan);
    return bande;
}

} // namespace Movendi::Screens::KioskStyle
