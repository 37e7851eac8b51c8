#include "platform/ftpupload.h"

#include "platform/clock.h"
#include "platform/seams.h"
#include "platform/watchdog.h"

#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>
#include <QUrl>

#include <curl/curl.h>

#include <memory>
#include <mutex>
#include <vector>

namespace Movendi::Platform {

namespace {

// Short slices: the screens stay responsive; a socket that becomes ready ends the slice.
constexpr int PollSliceMs = 10;

// While it lives, a socket libcurl waits on wakes the event loop: an idle slice ends as soon
// as the transfer can go on, rather than at its end.
class ReveilTransfert
{
public:
    explicit ReveilTransfert(CURLM *multi)
    {
        if (!QCoreApplication::instance())
            return;
        fd_set lecture, ecriture, erreur;
        FD_ZERO(&lecture);
        FD_ZERO(&ecriture);
        FD_ZERO(&erreur);
        int max = -1;
        if (curl_multi_fdset(multi, &lecture, &ecriture, &erreur, &max) != CURLM_OK)
            return;
        for (int fd = 0; fd <= max && fd < FD_SETSIZE; ++fd) {
            if (FD_ISSET(fd, &lecture))
                m_veilleurs.push_back(std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read));
            if (FD_ISSET(fd, &ecriture))
                m_veilleurs.push_back(
                    std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write));
        }
    }

private:
    std::vector<std::unique_ptr<QSocketNotifier>> m_veilleurs;
};

void initialiseCurl()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

size_t readFromFile(char *buffer, size_t size, size_t count, void *file)
{
    const qint64 n = static_cast<QFile *>(file)->read(buffer, qint64(size * count));
    return n < 0 ? CURL_READFUNC_ABORT : size_t(n);
}

int reportProgress(void *progress, curl_off_t, curl_off_t, curl_off_t ultotal, curl_off_t ulnow)
{
    const auto *report = static_cast<const FtpProgress *>(progress);
    // Before the data connection opens curl reports 0 of 0, which is no completed transfer.
    if (*report && ultotal > 0)
        (*report)(qint64(ulnow), qint64(ultotal));
    return 0;
}

// "ftp://host:port/%2Fa/b/name": the leading %2F makes the folder absolute, not relative to the
// login folder.
QByteArray uploadUrl(const FtpServer &server, const QString &remoteDir, const QString &name)
{
    QByteArray url = "ftp://";
    url += server.host.contains(QLatin1Char(':')) ? '[' + server.host.toUtf8() + ']'
                                                  : QUrl::toPercentEncoding(server.host, ".-");
    url += ':' + QByteArray::number(server.port) + '/';
    if (remoteDir.startsWith(QLatin1Char('/')))
        url += "%2F";
    for (const QString &part : remoteDir.split(QLatin1Char('/'), Qt::SkipEmptyParts))
        url += QUrl::toPercentEncoding(part) + '/';
    return url + QUrl::toPercentEncoding(name);
}

class CurlFtpSession final : public FtpSession
{
public:
    CurlFtpSession(FtpServer server, QString remoteDir, FtpLimits limits)
        : m_server(std::move(server)), m_remoteDir(std::move(remoteDir)), m_limits(limits),
          m_deadline(clock().monotonicMs() + limits.runMs)
    {
        initialiseCurl();
        m_multi = curl_multi_init();
        m_easy = curl_easy_init();
    }

    ~CurlFtpSession() override
    {
        curl_easy_cleanup(m_easy);
        curl_multi_cleanup(m_multi);
    }

    bool upload(const QString &localPath, const QString &remoteName, const FtpProgress &progress,
                QString *error, FtpFailure *failure) override
    {
        auto fail = [error, failure](const QString &why, FtpFailure kind = FtpFailure::Server) {
            if (error)
                *error = why;
            if (failure)
                *failure = kind;
            return false;
        };
        if (failure)
            *failure = FtpFailure::None;
        if (!m_multi || !m_easy)
            return fail(QStringLiteral("libcurl indisponible"));
        if (m_server.host.isEmpty())
            return fail(QStringLiteral("pas de serveur FTP configuré"));
        QFile file(localPath);
        if (!file.open(QIODevice::ReadOnly))
            return fail(QStringLiteral("%1: %2").arg(localPath, file.errorString()),
                        FtpFailure::File);
        const qint64 remaining = m_deadline - clock().monotonicMs();
        if (remaining <= 0)
            return fail(runLimitText());

        char curlError[CURL_ERROR_SIZE] = {};
        FtpProgress report = progress;
        configure(uploadUrl(m_server, m_remoteDir, remoteName), &file, &report, remaining,
                  curlError);

        curl_multi_add_handle(m_multi, m_easy);
        CURLcode result = CURLE_OK;
        bool finished = false;
        bool overRun = false;
        while (!finished) {
            int running = 0;
            // libcurl may hold the thread for a stall limit while it waits for the reply to the
            // end of a file.
            feedWatchdog(qint64(qMax(1, m_limits.stallSeconds)) * 1000);
            if (curl_multi_perform(m_multi, &running) != CURLM_OK) {
                result = CURLE_FAILED_INIT;
                break;
            }
            int queued = 0;
            while (CURLMsg *message = curl_multi_info_read(m_multi, &queued)) {
                if (message->msg == CURLMSG_DONE && message->easy_handle == m_easy) {
                    result = message->data.result;
                    finished = true;
                }
            }
            if (finished)
                break;
            if (clock().monotonicMs() >= m_deadline) {
                overRun = true;
                break;
            }
            // Idle, the slice is waited on the installed clock while the screens' events are
            // handled; busy, only the pending events are.
            int ready = 0;
            curl_multi_poll(m_multi, nullptr, 0, 0, &ready);
            if (ready > 0) {
                clock().processEventsFor(0);
            } else {
                const ReveilTransfert reveil(m_multi);
                clock().processEventsFor(PollSliceMs);
            }
        }
        long reply = 0;
        curl_easy_getinfo(m_easy, CURLINFO_RESPONSE_CODE, &reply);
        // Removed before its end, a transfer's connection closes without waiting for a reply.
        curl_multi_remove_handle(m_multi, m_easy);
        // Nothing of this call may be reached through the handle afterwards.
        curl_easy_setopt(m_easy, CURLOPT_ERRORBUFFER, nullptr);
        curl_easy_setopt(m_easy, CURLOPT_READDATA, nullptr);
        curl_easy_setopt(m_easy, CURLOPT_XFERINFODATA, nullptr);
        curl_easy_setopt(m_easy, CURLOPT_NOPROGRESS, 1L);
        if (overRun)
            return fail(runLimitText());
        if (!finished)
            return fail(QStringLiteral("erreur interne de libcurl"));
        if (result != CURLE_OK) {
            QString why = QString::fromUtf8(curl_easy_strerror(result));
            if (curlError[0])
                why += QStringLiteral(" (%1)").arg(QString::fromUtf8(curlError).trimmed());
            if (reply)
                why += QStringLiteral(", réponse %1").arg(reply);
            // The server took the connection and the login but not this file.
            const bool refused =
                result == CURLE_UPLOAD_FAILED || result == CURLE_REMOTE_FILE_EXISTS;
            return fail(QStringLiteral("%1 vers %2:%3: %4")
                            .arg(remoteName, m_server.host)
                            .arg(m_server.port)
                            .arg(why),
                        refused ? FtpFailure::File : FtpFailure::Server);
        }
        return true;
    }

private:
    QString runLimitText() const
    {
        return QStringLiteral("délai de %1 ms dépassé pour l'envoi FTP").arg(m_limits.runMs);
    }

    void configure(const QByteArray &url, QFile *file, FtpProgress *report, qint64 remainingMs,
                   char *errorBuffer)
    {
        CURL *e = m_easy;
        curl_easy_setopt(e, CURLOPT_URL, url.constData());
        curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "ftp");
        curl_easy_setopt(e, CURLOPT_UPLOAD, 1L);
        curl_easy_setopt(e, CURLOPT_READFUNCTION, readFromFile);
        curl_easy_setopt(e, CURLOPT_READDATA, file);
        curl_easy_setopt(e, CURLOPT_INFILESIZE_LARGE, curl_off_t(file->size()));
        curl_easy_setopt(e, CURLOPT_FTP_CREATE_MISSING_DIRS, long(CURLFTP_CREATE_DIR_RETRY));
        curl_easy_setopt(e, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(e, CURLOPT_XFERINFOFUNCTION, reportProgress);
        curl_easy_setopt(e, CURLOPT_XFERINFODATA, report);
        curl_easy_setopt(e, CURLOPT_ERRORBUFFER, errorBuffer);
        curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
        if (m_server.tls) {
            curl_easy_setopt(e, CURLOPT_USE_SSL, long(CURLUSESSL_ALL));
            curl_easy_setopt(e, CURLOPT_SSL_VERIFYPEER, 1L);
            curl_easy_setopt(e, CURLOPT_SSL_VERIFYHOST, 2L);
            if (!m_server.caFile.isEmpty())
                curl_easy_setopt(e, CURLOPT_CAINFO, QFile::encodeName(m_server.caFile).constData());
        }
        if (!m_server.user.isEmpty()) {
            curl_easy_setopt(e, CURLOPT_USERNAME, m_server.user.toUtf8().constData());
            curl_easy_setopt(e, CURLOPT_PASSWORD, m_server.password.toUtf8().constData());
        }
        curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, long(m_limits.connectMs));
        // A data connection where nothing moves, and a command left without a reply (libcurl
        // waits for the reply to the end of an upload without returning to us), end after the
        // stall limit.
        const long stall = qMax(1, m_limits.stallSeconds);
        curl_easy_setopt(e, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(e, CURLOPT_LOW_SPEED_TIME, stall);
        curl_easy_setopt(e, CURLOPT_SERVER_RESPONSE_TIMEOUT, stall);
        curl_easy_setopt(e, CURLOPT_TIMEOUT_MS, long(qMax<qint64>(1, remainingMs)));
        // Each file closes its connection with our limits: a connection left in curl's cache
        // would be closed later under curl's own two-minute reply limit.
        curl_easy_setopt(e, CURLOPT_FORBID_REUSE, 1L);
    }

    FtpServer m_server;
    QString m_remoteDir;
    FtpLimits m_limits;
    qint64 m_deadline;
    CURLM *m_multi = nullptr;
    CURL *m_easy = nullptr;
};

} // namespace

std::unique_ptr<FtpSession> CurlFtpUploads::open(const FtpServer &server, const QString &remoteDir)
{
    return std::make_unique<CurlFtpSession>(server, remoteDir, m_limits);
}

} // namespace Movendi::Platform
