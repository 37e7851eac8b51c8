#pragma once

#include <QString>

#include <functional>
#include <memory>

namespace Movendi::Platform {

struct FtpServer
{
    QString host;
    int port = 21;
    QString user; // empty: anonymous
    QString password;
    // Explicit TLS (AUTH TLS) for the commands and the data, the server's certificate checked
    // against caFile (empty: the system's authorities) and its name; nothing goes in clear.
    bool tls = false;
    QString caFile;
};

// What a dead or silent server may cost. curl counts the stall in whole seconds.
struct FtpLimits
{
    qint64 connectMs = 10000; // TCP connection
    int stallSeconds = 20;    // no byte moving, or no reply to a command
    qint64 runMs = 120000;    // the whole session, every file included
};

// transferred, total (bytes) while a file goes up.
using FtpProgress = std::function<void(qint64, qint64)>;

// A run of uploads into one remote folder (passive mode, one connection per file). The
// session's overall limit counts from its opening; the screens keep processing events while a
// file goes up, through the installed clock, except while libcurl waits for the server's reply
// at the end of a file (at most the stall limit). A session ends within its overall limit plus
// one stall limit.
// Why a file did not go: the server could not be reached, logged into or kept talking (any file
// would have failed alike), or it refused this file (or this file could not be read).
enum class FtpFailure { None, Server, File };

class FtpSession
{
public:
    virtual ~FtpSession() = default;
    // Sends the local file under remoteName, creating the remote folder when missing. False
    // with the reason in *error (and its kind in *failure) when the server did not confirm the
    // whole file.
    virtual bool upload(const QString &localPath, const QString &remoteName,
                        const FtpProgress &progress, QString *error,
                        FtpFailure *failure = nullptr) = 0;
};

class FtpUploads
{
public:
    virtual ~FtpUploads() = default;
    // remoteDir is absolute ("/a/b"); connecting happens with the first upload.
    virtual std::unique_ptr<FtpSession> open(const FtpServer &server, const QString &remoteDir) = 0;
};

// The real back-end, over libcurl's multi interface.
class CurlFtpUploads final : public FtpUploads
{
public:
    explicit CurlFtpUploads(FtpLimits limits = {}) : m_limits(limits) {}
    FtpLimits limits() const { return m_limits; }
    void setLimits(FtpLimits limits) { m_limits = limits; }
    std::unique_ptr<FtpSession> open(const FtpServer &server, const QString &remoteDir) override;

private:
    FtpLimits m_limits;
};

} // namespace Movendi::Platform
