#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

namespace Movendi::Mail {

inline constexpr int OctetsParLigneUu = 45;

// The file name an attachment carries: the path after its last separator ("/" or "\").
QString nomPieceJointe(const QString &chemin);

// One line of data: the length character, the groups of four characters (a short last group
// completed with spaces), every space then written as a grave accent; no line end.
QByteArray ligneUuencode(const QByteArray &octets);

// The whole block of a file: "begin 664 NAME", the data lines (length / 45 + 1 of them, the
// last one holding the remainder, empty for a multiple of 45), "`" and "end", each line ending
// with CR LF. progression, when given, is called with the percentage encoded so far.
QByteArray blocUuencode(const QString &nom, const QByteArray &contenu,
                        const std::function<void(int)> &progression = {});

} // namespace Movendi::Mail
