#pragma once

#include "entrepot/connexionpg.h"
#include "entrepot/schema.h"
#include "serveurpostgres.h"

#include <QSqlQuery>

#include <gtest/gtest.h>

#include <memory>

namespace Movendi::Test {

// One PostgreSQL cluster per test suite, a fresh database with the schema for each test.
class BasePgTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_serveur = new ServeurPostgres;
        ASSERT_TRUE(s_serveur->start());
    }
    static void TearDownTestSuite()
    {
        delete s_serveur;
        s_serveur = nullptr;
    }
    void SetUp() override
    {
        ASSERT_NE(s_serveur, nullptr);
        const QString nom = QStringLiteral("essai%1").arg(++s_bases);
        ASSERT_TRUE(s_serveur->creerBase(nom));
        m_base = std::make_unique<Backoffice::ConnexionPg>(s_serveur->connexion(nom));
    }
    QVariant valeur(const QString &sql, const QVariantList &p = {})
    {
        QSqlQuery q = m_base->executer(sql, p);
        return q.next() ? q.value(0) : QVariant();
    }

    static inline ServeurPostgres *s_serveur = nullptr;
    static inline int s_bases = 0;
    std::unique_ptr<Backoffice::ConnexionPg> m_base;
};

} // namespace Movendi::Test
