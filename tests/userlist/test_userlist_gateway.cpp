// The user list against the local gateway: a channel of forty members with
// mixed products and flags, as the user sees it.
#include "userlistfixture.h"

#include "connection/TChatInterface.h"
#include "interpreter/TBnetChat.h"
#include "support/connectedwindow.h"
#include "support/frames.h"
#include "support/gatewayprocess.h"
#include "support/waits.h"

#include <QLineEdit>
#include <QtTest>

class TestUserListGateway : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void fortyMembers()
    {
        GatewayProcess gateway({QStringLiteral("--no-flood-quota")});
        QVERIFY2(gateway.port() != 0, qPrintable(gateway.errorText()));
        UserListFixture f(QByteArray("SEXPm7\r\n"), true);
        Tmain &m = *f.main;
        m.options->insertSafeName(QStringLiteral("m3"));
        m.options->insertSafeName(QStringLiteral("m7"));
        QVERIFY(connectToGateway(m, gateway.port()));
        QTRY_VERIFY_WITH_TIMEOUT(m.session->userCount >= 1, 10000);
        const int before = m.session->userCount;

        const QStringList products = {"CHAT", "DRTL", "STAR", "DSHR", "SSHR", "SEXP",
                                      "JSTR", "D2DV", "W2BN", "D2XP", "WAR3"};
        const QStringList flags = {"0010", "0000", "0002", "0001", "0008", "0004",
                                   "0020", "0040", "0200", "0400", "0012"};
        for (int i = 0; i < 40; ++i) {
            const QString name = i == 39 ? QStringLiteral("Tressel") : QStringLiteral("m%1").arg(i);
            gateway.command(
                QStringLiteral("join %1 %2 %3")
                    .arg(name, products[i % products.size()], flags[(i / 3) % flags.size()]));
        }
        QTRY_COMPARE_WITH_TIMEOUT(m.session->userCount, before + 40, 10000);
        const auto rows = f.rows();
        QCOMPARE(rows.size(), before + 40);
        QVERIFY(m.channel->text().endsWith(QStringLiteral(" (%1)").arg(before + 40)));

        // Each joined member's row follows the rules for its product and flags.
        for (int i = 0; i < 40; ++i) {
            const UserListFixture::Row r = rows[before + i];
            const QString fl = flags[(i / 3) % flags.size()];
            bool sq = false;
            int icon = flagsIcon(products[i % products.size()], fl, sq);
            int state = -1;
            if (r.name == QLatin1String("m3"))
                state = 0;
            if (r.name == QLatin1String("m7")) {
                icon = 5;
                state = 1;
            }
            if (r.name == QLatin1String("Tressel"))
                state = 2;
            QCOMPARE(r, (UserListFixture::Row{i == 39 ? QStringLiteral("Tressel")
                                                      : QStringLiteral("m%1").arg(i),
                                              icon, state}));
        }

        // A flags change and a leave from the gateway.
        gateway.command(QStringLiteral("flags m0 0002"));
        QTRY_COMPARE_WITH_TIMEOUT(f.row("m0").icon, 2, 5000);
        gateway.command(QStringLiteral("leave m1"));
        QTRY_COMPARE_WITH_TIMEOUT(m.session->userCount, before + 39, 5000);
        QCoreApplication::processEvents();
        QVERIFY(f.dialogs.infos().isEmpty());

        // A look at it on screen, with the fourth row selected.
        f.selectRow(3);
        m.show();
        QVERIFY(waitExposed(&m));
        QVERIFY(framesPass(6)); // the picture is for the eye: the list settles first
        const QString shot = QStringLiteral("/tmp/tressel_userlist.png");
        QVERIFY(m.grab().save(shot));
        QVERIFY(m.users->grab().save(QStringLiteral("/tmp/tressel_users.png")));
        m.users->setFocus();
        m.text->setFocus(); // the selection stays visible without focus
        QVERIFY(m.users->grab().save(QStringLiteral("/tmp/tressel_users_unfocused.png")));
    }
};

QTEST_MAIN(TestUserListGateway)
#include "test_userlist_gateway.moc"
