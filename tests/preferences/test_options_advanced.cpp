// The Advanced tab's settings and their file tressel.ini: what OK writes,
// what a later start reads, values that cannot be used, and that
// tressel.conf does not change for them.
#include "base/clock.h"
#include "optionstestutil.h"
#include "support/datarows.h"

class TestOptionsAdvanced : public QObject {
    Q_OBJECT
    QStringList m_notices;

    std::unique_ptr<Toptions> make()
    {
        auto o = std::make_unique<Toptions>();
        o->OnNotice = [this](const QString &m) { m_notices << m; };
        return o;
    }

private Q_SLOTS:
    // tressel.conf carries the time it was written, and the comparisons of
    // two writes must not depend on both falling in the same second.
    void init()
    {
        m_notices.clear();
        setClock([] { return QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9)); });
    }
    void cleanup() { setClock({}); }

    void startValuesWithoutFile()
    {
        ScratchDir dir;
        ScriptedDialogs scripted;
        auto o = make();
        o->readSettingsFile();
        QCOMPARE(o->quotaUnits->value(), 5);
        QCOMPARE(o->quotaWindow->value(), 5);
        QCOMPARE(o->quotaBytesPerUnit->value(), 40);
        QCOMPARE(o->quotaMargin->value(), 500);
        QCOMPARE(o->outgoingEncoding->currentIndex(), int(Toptions::EncodeUtf8));
        // The comforts and the journal are on, reconnecting is off.
        for (QCheckBox *on : {o->inputHistory, o->tabCompletion, o->findBar, o->showLinks,
                              o->markMentions, o->attentionAlerts, o->keepJournal})
            QVERIFY2(on->isChecked(), qPrintable(on->objectName()));
        QVERIFY(!o->autoReconnect->isChecked());
        QCOMPARE(o->mentionColour->selectedName(), QStringLiteral("Money Green"));
        QVERIFY(m_notices.isEmpty());
        QVERIFY(!QFile::exists(QStringLiteral("tressel.ini")));
    }

    // OK writes both files; a new dialog reads the values back, and
    // tressel.conf is byte for byte what it is without the new settings.
    void okWritesAndNextStartReads()
    {
        ScratchDir dir;
        ScriptedDialogs scripted;
        QByteArray plainConf;
        {
            auto o = make();
            o->okClick();
            plainConf = readBytes(QStringLiteral("tressel.conf"));
            QFile::remove(QStringLiteral("tressel.ini"));
        }
        {
            auto o = make();
            o->quotaUnits->setValue(9);
            o->quotaWindow->setValue(2);
            o->quotaBytesPerUnit->setValue(64);
            o->quotaMargin->setValue(0);
            o->outgoingEncoding->selectIndex(Toptions::EncodeWindows1252);
            o->showLinks->setChecked(false);
            o->autoReconnect->setChecked(true);
            o->mentionColour->selectName(QStringLiteral("Cream"));
            o->okClick();
        }
        QCOMPARE(readBytes(QStringLiteral("tressel.conf")), plainConf);
        QVERIFY(!plainConf.contains("quota"));
        const QFileInfo ini(QStringLiteral("tressel.ini"));
        QVERIFY(ini.exists());
        QCOMPARE(ini.permissions() &
                     (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther),
                 QFile::Permissions());
        auto o = make();
        o->FormShow();
        QCOMPARE(o->quotaUnits->value(), 9);
        QCOMPARE(o->quotaWindow->value(), 2);
        QCOMPARE(o->quotaBytesPerUnit->value(), 64);
        QCOMPARE(o->quotaMargin->value(), 0);
        QCOMPARE(o->outgoingEncoding->currentIndex(), int(Toptions::EncodeWindows1252));
        QVERIFY(!o->showLinks->isChecked());
        QVERIFY(o->autoReconnect->isChecked());
        QVERIFY(o->markMentions->isChecked());
        QCOMPARE(o->mentionColour->selectedName(), QStringLiteral("Cream"));
        const QByteArray written = readBytes(QStringLiteral("tressel.ini"));
        QVERIFY2(written.contains("links=false") && written.contains("reconnect=true") &&
                     written.contains("mentionColour=Cream"),
                 written.constData());
    }

    // The proxy: none at first, its fields usable only for the kinds that
    // take them; OK writes it to [connection] and the next start reads it
    // back, the password included; a kind the list does not have is named.
    void proxySetting()
    {
        ScratchDir dir;
        ScriptedDialogs scripted;
        {
            auto o = make();
            o->readSettingsFile();
            QCOMPARE(o->proxyKind->currentIndex(), int(Toptions::ProxyNone));
            QCOMPARE(o->proxyPort->value(), 1080);
            QVERIFY(!o->proxyHost->isEnabled() && !o->proxyUser->isEnabled());
            o->proxyKind->selectIndex(Toptions::ProxyHttpConnect);
            QVERIFY(o->proxyHost->isEnabled() && o->proxyPort->isEnabled());
            QVERIFY(!o->proxyUser->isEnabled() && !o->proxyPassword->isEnabled());
            o->proxyKind->selectIndex(Toptions::ProxySocks5);
            QVERIFY(o->proxyUser->isEnabled() && o->proxyPassword->isEnabled());
            QCOMPARE(o->proxyPassword->echoMode(), QLineEdit::Password);
            o->proxyHost->setText(QStringLiteral("[::1]"));
            o->proxyPort->setValue(9050);
            o->proxyUser->setText(QStringLiteral("bob"));
            o->proxyPassword->setText(QStringLiteral("s3cret; x=y"));
            o->okClick();
        }
        const QByteArray written = readBytes(QStringLiteral("tressel.ini"));
        QVERIFY2(written.contains("[connection]") && written.contains("proxy=SOCKS5") &&
                     written.contains("proxyPort=9050") && written.contains("proxyUser=bob"),
                 written.constData());
        {
            auto o = make();
            o->FormShow();
            QCOMPARE(o->proxyKind->currentIndex(), int(Toptions::ProxySocks5));
            QCOMPARE(o->proxyHost->text(), QStringLiteral("[::1]"));
            QCOMPARE(o->proxyPort->value(), 9050);
            QCOMPARE(o->proxyUser->text(), QStringLiteral("bob"));
            QCOMPARE(o->proxyPassword->text(), QStringLiteral("s3cret; x=y"));
            QVERIFY(o->proxyUser->isEnabled());
            QVERIFY(m_notices.isEmpty());
        }
        writeBytes(QStringLiteral("tressel.ini"),
                   "[connection]\nproxy=Tor\nproxyPort=70000\nproxyHost=h\n");
        auto o = make();
        o->FormShow();
        QCOMPARE(m_notices.size(), 1);
        QVERIFY2(m_notices.first().contains(QLatin1String("connection/proxy = 'Tor' (None or "
                                                          "From the environment or SOCKS5 or "
                                                          "HTTP CONNECT)")) &&
                     m_notices.first().contains(QLatin1String("connection/proxyPort = '70000'")),
                 qPrintable(m_notices.first()));
        QCOMPARE(o->proxyHost->text(), QStringLiteral("h"));
    }

    // Cancel forgets what was changed: the next show reads the file again.
    void cancelKeepsTheFile()
    {
        ScratchDir dir;
        ScriptedDialogs scripted;
        auto o = make();
        o->quotaUnits->setValue(7);
        o->okClick();
        o->quotaUnits->setValue(3);
        o->cancelClick();
        o->FormShow();
        QCOMPARE(o->quotaUnits->value(), 7);
    }

    // A value the setting cannot hold is named in one warning and leaves the
    // setting as it was; the other values are still read.
    void unusableValuesReported_data()
    {
        columns<QByteArray, QString>("file", "named");
        QTest::newRow("not a number") << QByteArray("[quota]\nunits=lots\nwindow=3\n")
                                      << QStringLiteral("quota/units = 'lots'");
        QTest::newRow("below range") << QByteArray("[quota]\nunits=1\nwindow=3\n")
                                     << QStringLiteral("quota/units = '1' (2 to 100)");
        QTest::newRow("above range") << QByteArray("[quota]\nunits=101\nwindow=3\n")
                                     << QStringLiteral("quota/units = '101'");
        QTest::newRow("unknown encoding")
            << QByteArray("[quota]\nwindow=3\n[text]\noutgoingEncoding=EBCDIC\n")
            << QStringLiteral("text/outgoingEncoding = 'EBCDIC'");
        QTest::newRow("not a flag") << QByteArray("[quota]\nwindow=3\n[comforts]\nlinks=maybe\n")
                                    << QStringLiteral("comforts/links = 'maybe' (true or false)");
        QTest::newRow("unknown colour")
            << QByteArray("[quota]\nwindow=3\n[comforts]\nmentionColour=Mauve\n")
            << QStringLiteral("comforts/mentionColour = 'Mauve'");
    }
    void unusableValuesReported()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, named);
        ScratchDir dir;
        ScriptedDialogs scripted;
        writeBytes(QStringLiteral("tressel.ini"), file);
        auto o = make();
        o->readSettingsFile();
        QCOMPARE(m_notices.size(), 1);
        QVERIFY2(m_notices.first().startsWith(QLatin1String("tressel.ini: ")),
                 qPrintable(m_notices.first()));
        QVERIFY2(m_notices.first().contains(named), qPrintable(m_notices.first()));
        QCOMPARE(o->quotaUnits->value(), 5);
        QCOMPARE(o->quotaWindow->value(), 3);
        QCOMPARE(o->outgoingEncoding->currentIndex(), int(Toptions::EncodeUtf8));
        QVERIFY(o->showLinks->isChecked());
        QCOMPARE(o->mentionColour->selectedName(), QStringLiteral("Money Green"));
    }

    // A tressel.ini with a line Qt cannot parse (no "=" in it) is reported
    // when read, and OK still replaces it whole with the dialog's values.
    void malformedIniIsReplacedOnOk()
    {
        ScratchDir dir;
        ScriptedDialogs scripted;
        writeBytes(QStringLiteral("tressel.ini"),
                   QByteArray("[quota]\nunits=7\na line with no equals sign\n"));
        auto o = make();
        bool reported = false;
        try {
            o->readSettingsFile();
        } catch (const TError &e) {
            reported = e.text() == QStringLiteral("tressel.ini could not be read");
        }
        QVERIFY(reported);
        o->quotaUnits->setValue(9);
        o->writeSettingsFile();
        auto again = make();
        again->readSettingsFile();
        QCOMPARE(again->quotaUnits->value(), 9);
        QCOMPARE(again->quotaWindow->value(), 5);
        QCOMPARE(QFileInfo(QStringLiteral("tressel.ini")).permissions() & 0x0ff,
                 QFileDevice::Permissions());
    }

    // A tressel.ini that cannot be written (a directory in its place) is an
    // error the user sees; tressel.conf is still written.
    void unwritableIniIsAnError()
    {
        ScratchDir dir;
        ScriptedDialogs scripted;
        QVERIFY(QDir().mkdir(QStringLiteral("tressel.ini")));
        auto o = make();
        bool raised = false;
        try {
            o->okClick();
        } catch (const TError &e) {
            raised = true;
            QCOMPARE(e.text(), QStringLiteral("tressel.ini could not be written"));
        }
        QVERIFY(raised);
        QVERIFY(QFileInfo(QStringLiteral("tressel.conf")).isFile());
    }
};

QTEST_MAIN(TestOptionsAdvanced)
#include "test_options_advanced.moc"
