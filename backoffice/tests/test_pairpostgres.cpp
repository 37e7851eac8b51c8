// A database server that accepts and never answers, answers a byte at a time or closes
// mid-reply: opening the connection ends within its stated delay (connect_timeout) with the
// reason, and never hangs the service.
#include "entrepot/connexionpg.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace Movendi::Backoffice;

namespace {

enum class Defaut { Muet, Goutte, Coupe };

// A server on 127.0.0.1 that misbehaves with the first client, on a thread of its own since
// opening a connection blocks the caller's.
class PairDefaillant
{
public:
    explicit PairDefaillant(Defaut defaut) : m_defaut(defaut)
    {
        m_ecoute = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t n = sizeof a;
        if (::bind(m_ecoute, reinterpret_cast<sockaddr *>(&a), n) != 0 ||
            ::listen(m_ecoute, 4) != 0 ||
            ::getsockname(m_ecoute, reinterpret_cast<sockaddr *>(&a), &n) != 0)
            ADD_FAILURE() << "no loopback socket";
        m_port = ntohs(a.sin_port);
        m_fil = std::thread([this] { servir(); });
    }
    ~PairDefaillant()
    {
        m_fin = true;
        m_fil.join();
        ::close(m_ecoute);
    }
    int port() const { return m_port; }

private:
    // Waits up to ms for the socket, false once the test is over.
    bool attendre(int fd, int ms)
    {
        pollfd p{fd, POLLIN, 0};
        for (int t = 0; t < ms && !m_fin; t += 50) {
            if (::poll(&p, 1, 50) > 0)
                return true;
        }
        return false;
    }
    void servir()
    {
        if (!attendre(m_ecoute, 30000))
            return;
        const int client = ::accept(m_ecoute, nullptr, nullptr);
        char startup[512];
        if (attendre(client, 5000))
            ::recv(client, startup, sizeof startup, 0);
        // AuthenticationOk then ReadyForQuery: what a server that trusts the client answers.
        static const char reponse[] = {'R', 0, 0, 0, 8, 0, 0, 0, 0, 'Z', 0, 0, 0, 5, 'I'};
        if (m_defaut == Defaut::Coupe) {
            ::send(client, reponse, 4, MSG_NOSIGNAL);
        } else if (m_defaut == Defaut::Goutte) {
            // A byte every 700 ms: the whole answer would take ten seconds.
            for (std::size_t i = 0; i < sizeof reponse && !m_fin; ++i) {
                if (::send(client, reponse + i, 1, MSG_NOSIGNAL) != 1)
                    break;
                attendre(client, 700);
            }
        }
        while (m_defaut != Defaut::Coupe && !m_fin) {
            char poubelle[64];
            if (attendre(client, 100) && ::recv(client, poubelle, sizeof poubelle, 0) <= 0)
                break;
        }
        ::close(client);
    }

    const Defaut m_defaut;
    int m_ecoute = -1;
    int m_port = 0;
    std::atomic<bool> m_fin{false};
    std::thread m_fil;
};

struct CasPair
{
    const char *nom;
    Defaut defaut;
    const char *raison; // libpq's
};

class PairPostgresTest : public ::testing::TestWithParam<CasPair>
{
};

TEST_P(PairPostgresTest, OpeningEndsWithinItsDelayWithTheReason)
{
    PairDefaillant pair(GetParam().defaut);
    QElapsedTimer duree;
    duree.start();
    try {
        ConnexionPg base(QStringLiteral("host=127.0.0.1 port=%1 dbname=flotte user=movendi "
                                        "connect_timeout=2 sslmode=disable")
                             .arg(pair.port()));
        ADD_FAILURE() << "connected to a server that never answered";
    } catch (const ErreurBase &erreur) {
        EXPECT_TRUE(erreur.raison().startsWith(QStringLiteral("base de la flotte inaccessible: ")))
            << erreur.raison().toStdString();
        EXPECT_TRUE(erreur.raison().contains(QLatin1String(GetParam().raison)))
            << erreur.raison().toStdString();
    }
    // The stated delay, and libpq's rounding of it up to the second.
    EXPECT_LT(duree.elapsed(), 4000) << GetParam().nom;
}

INSTANTIATE_TEST_SUITE_P(
    Pairs, PairPostgresTest,
    ::testing::Values(CasPair{"Muet", Defaut::Muet, "timeout expired"},
                      CasPair{"Goutte", Defaut::Goutte, "timeout expired"},
                      CasPair{"Coupe", Defaut::Coupe, "closed the connection"}),
    [](const ::testing::TestParamInfo<CasPair> &cas) { return std::string(cas.param.nom); });

} // namespace
