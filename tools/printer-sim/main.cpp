// movendi-printer-sim: the ticket printer's side of its serial line on a pseudo-terminal.
#include "platform/stopsignalpipe.h"
#include "pseudoterminal.h"
#include "rendering.h"

#include <QFile>
#include <QStringList>

#include <cerrno>
#include <cstdio>
#include <optional>
#include <poll.h>
#include <unistd.h>

using Movendi::Platform::StopSignalPipe;
using Movendi::PrinterSim::TextRenderer;
using Movendi::TpeSim::PseudoTerminal;

namespace {

struct Options
{
    QString link;
    QString output = QStringLiteral("printer.bin");
    QString text;
    bool help = false;
};

std::optional<QString> parseOptions(const QStringList &arguments, Options &options)
{
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &a = arguments.at(i);
        QString *target = nullptr;
        if (a == QLatin1String("--lien"))
            target = &options.link;
        else if (a == QLatin1String("--sortie"))
            target = &options.output;
        else if (a == QLatin1String("--texte"))
            target = &options.text;
        else if (a == QLatin1String("--help") || a == QLatin1String("-h"))
            options.help = true;
        else
            return QStringLiteral("option inconnue: %1").arg(a);
        if (target) {
            if (i + 1 >= arguments.size() || arguments.at(i + 1).isEmpty())
                return QStringLiteral("%1 demande une valeur").arg(a);
            *target = arguments.at(++i);
        }
    }
    return std::nullopt;
}

const char *usage =
    "usage: movendi-printer-sim [--lien CHEMIN] [--sortie FICHIER] [--texte FICHIER]\n"
    "Simulates the ticket printer on a pseudo-terminal; prints \"IMPRIMANTE: "
    "/dev/pts/N\",\n"
    "appends every byte received to FICHIER (default printer.bin) and runs until\n"
    "SIGTERM or SIGINT. See tools/printer-sim/README.md.\n";

void fail(const QString &text)
{
    fprintf(stderr, "movendi-printer-sim: %s\n", qPrintable(text));
}

bool openAppend(QFile &file)
{
    if (file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return true;
    fail(QStringLiteral("%1 impossible a ouvrir: %2").arg(file.fileName(), file.errorString()));
    return false;
}

// Whole, at once: a reader polling the file sees each read's bytes together.
bool append(QFile &file, const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return true;
    if (file.write(bytes) == bytes.size())
        return true;
    fail(
        QStringLiteral("ecriture impossible dans %1: %2").arg(file.fileName(), file.errorString()));
    return false;
}

} // namespace

int main(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    Options options;
    if (const auto error = parseOptions(arguments, options)) {
        fail(*error);
        fprintf(stderr, "%s", usage);
        return 2;
    }
    if (options.help) {
        printf("%s", usage);
        return 0;
    }

    QFile output(options.output);
    QFile text(options.text);
    if (!openAppend(output) || (!options.text.isEmpty() && !openAppend(text)))
        return 1;
    // Destroyed after the device: a stop signal while its link goes is still caught.
    StopSignalPipe stop;
    PseudoTerminal pty;
    if (!pty.open()) {
        fail(pty.errorText());
        return 1;
    }
    if (!options.link.isEmpty() && !pty.createLink(options.link)) {
        fail(pty.errorText());
        return 1;
    }
    if (!stop.install()) {
        fail(QStringLiteral("pipe2 impossible"));
        return 1;
    }
    // The kiosk may close the line at any time.
    Movendi::Platform::ignoreHangUps();

    printf("IMPRIMANTE: %s\n", qPrintable(pty.slavePath()));
    fflush(stdout);

    TextRenderer renderer;
    int status = 0;
    for (;;) {
        pollfd fds[2] = {{pty.masterFd(), POLLIN, 0}, {stop.fd(), POLLIN, 0}};
        const int ready = poll(fds, 2, -1);
        if (ready < 0 && errno != EINTR) {
            fail(QStringLiteral("poll: erreur %1").arg(errno));
            status = 1;
            break;
        }
        if (ready <= 0)
            continue;
        // What has arrived is kept even when a stop signal came with it.
        if (fds[0].revents & (POLLIN | POLLHUP)) {
            const QByteArray bytes = pty.readAvailable();
            if (!bytes.isEmpty()) {
                if (!append(output, bytes) ||
                    (!options.text.isEmpty() && !append(text, renderer.feed(bytes)))) {
                    status = 1;
                    break;
                }
            } else if (fds[0].revents & POLLHUP) {
                usleep(20000); // we hold the slave, so this should not last; do not spin
            }
        }
        if (fds[1].revents & POLLIN)
            break;
    }
    if (status == 0) {
        // Bytes sent just before the stop signal.
        const QByteArray rest = pty.readAvailable();
        if (!append(output, rest) ||
            (!options.text.isEmpty() && !append(text, renderer.feed(rest))))
            status = 1;
    }
    return status;
}
