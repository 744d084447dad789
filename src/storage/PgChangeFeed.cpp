// The other copies' changes on the shared server: each committed change sends a notice
// (channel tavrell_changes, "table action key"; see PgHistory.cpp), which the driver hands
// over as it reads the connection in the event loop. The copy's own notices are passed over
// by the driver's word on who sent them. Notices that come together go on as one batch.
#include "storage/ChangeFeed.h"
#include "storage/PgBackend.h"

#include <QSqlDriver>
#include <QTimer>

namespace {

constexpr const char *Channel = "tavrell_changes";

class PgChangeFeed : public ChangeFeed {
public:
    PgChangeFeed(const QString &connectionName, QObject *parent) : ChangeFeed(parent), m_connectionName(connectionName)
    {
        QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        m_driver = db.driver();
        if (!m_driver || !m_driver->subscribeToNotification(QLatin1String(Channel)))
            return;
        connect(m_driver, &QSqlDriver::notification, this,
                [this](const QString &name, QSqlDriver::NotificationSource source, const QVariant &payload) {
                    if (name == QLatin1String(Channel) && source == QSqlDriver::OtherSource)
                        note(payload.toString());
                });
        m_batch.setSingleShot(true);
        m_batch.setInterval(50);
        connect(&m_batch, &QTimer::timeout, this, [this] {
            const QList<RowChange> changes = lastOfEach(m_pending);
            m_pending.clear();
            if (!changes.isEmpty())
                emit arrived(changes);
        });
    }
    ~PgChangeFeed() override
    {
        // The driver may be gone with its connection.
        if (QSqlDatabase::contains(m_connectionName)) {
            QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
            if (db.driver() == m_driver && db.isOpen())
                m_driver->unsubscribeFromNotification(QLatin1String(Channel));
        }
    }

private:
    void note(const QString &payload)
    {
        const QStringList parts = payload.split(QLatin1Char(' '));
        if (parts.size() != 3 || parts.at(1).size() != 1)
            return;
        m_pending.append({parts.at(0), parts.at(2), parts.at(1).toLatin1().at(0)});
        if (!m_batch.isActive())
            m_batch.start();
    }

    QString m_connectionName;
    QSqlDriver *m_driver = nullptr;
    QTimer m_batch;
    QList<RowChange> m_pending;
};

}  // namespace

std::unique_ptr<ChangeFeed> PgBackend::watchChanges(QObject *parent) const
{
    return std::make_unique<PgChangeFeed>(m_connectionName, parent);
}
