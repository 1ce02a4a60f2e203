#pragma once

// Sessions for the window tests, each on a program directory of its own
// (without skins): with or without a store, or logged in on one.
//
//   auto session = m_sessions.loggedIn(QStringLiteral("pw"), contacts);

#include "contacts/Session.h"
#include "support/StoreFixture.h"

#include <QDir>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

namespace quennet::test {

class Sessions {
public:
    bool isValid() const { return m_root.isValid(); }

    // A session on a new program directory; with a store file holding rows
    // when storePassword is not null (empty: a store without password).
    std::unique_ptr<Session> make(const QString &storePassword = QString(),
                                  const QList<QStringList> &rows = {})
    {
        const QString dir = m_root.filePath(QString::number(++m_count));
        QDir().mkpath(dir);
        auto session = std::make_unique<Session>(dir);
        if (!storePassword.isNull() && !writeStore(session->dir.storeFile(), storePassword, rows))
            return nullptr;
        return session;
    }

    // A session whose store holds rows and is open as the login leaves it.
    std::unique_ptr<Session> loggedIn(const QString &password = QStringLiteral(""),
                                      const QList<QStringList> &rows = {})
    {
        auto session = make(password.isNull() ? QStringLiteral("") : password, rows);
        if (!session || !session->store.open(session->dir.storeFile(), password))
            return nullptr;
        session->loginCredential = session->store.credential();
        return session;
    }

private:
    QTemporaryDir m_root;
    int m_count = 0;
};

} // namespace quennet::test
