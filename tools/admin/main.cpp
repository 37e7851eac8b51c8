// movendi-admin: the staff tool. Each command is a unit of the movendi_admin library; see
// commandes.cpp for the list.
#include "commandes.h"

#include <QGuiApplication>
#include <QTextStream>

int main(int argc, char *argv[])
{
    // Pictures are drawn with fonts, which need a GUI application; no window is ever shown.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    return Movendi::Admin::executerCommande(QGuiApplication::arguments().mid(1), out, err);
}
