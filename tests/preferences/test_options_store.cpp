// The dialog and the settings store: every change of a control is in the
// store at once, Cancel takes nothing back, the next showing reads the
// file again by its rules, and a setting changed in the store is shown by
// its control and written to the file.
#include "optionstestutil.h"

#include "base/errors.h"
#include "core/settingsstore.h"
#include "preferences/settingstable.h"

#include <QSignalSpy>

class TestOptionsStore : public QObject {
    Q_OBJECT
    std::unique_ptr<ScratchDir> m_dir;
    std::unique_ptr<ScriptedDialogs> m_dialogs;

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<ScratchDir>();
        m_dialogs = std::make_unique<ScriptedDialogs>();
    }
    void cleanup()
    {
        m_dialogs.reset();
        m_dir.reset();
    }

    void controlsWriteIntoTheStoreAtOnce()
    {
        TSettingsStore store;
        Toptions o(nullptr, &store);
        QCOMPARE(o.store(), &store);
        QSignalSpy changed(&store, &TSettingsStore::changed);
        o.timestamps->setChecked(true);
        QVERIFY(store.flag(TSetting::timestamps));
        o.AsciiPercentage->setValue(77);
        QCOMPARE(store.number(TSetting::AsciiPercentage), 77);
        o.antiidle->setChecked(true); // its rule enables the choices
        o.ai_time->setChecked(true);
        QCOMPARE(store.number(TSetting::idletype), 3);
        o.ai_stats->click();
        QCOMPARE(store.number(TSetting::idletype), 2);
        o.dblClickAction->selectIndex(2);
        QCOMPARE(store.pickText(TSetting::dblClickAction), QStringLiteral("Copy Username"));
        o.name_colour->selectName(QStringLiteral("Teal"));
        QCOMPARE(store.colourName(TSetting::name_colour), QStringLiteral("Teal"));
        o.homechannel->setText(QStringLiteral("Op Tressel"));
        QCOMPARE(store.bytes(TSetting::homechannel), QStringLiteral("Op Tressel"));
        o.serverEdit()->setText(QStringLiteral("127.0.0.1"));
        QCOMPARE(store.shown(TSetting::server), QStringLiteral("127.0.0.1"));
        o.insertSafeName(QStringLiteral("zed"));
        o.insertSafeName(QStringLiteral("Bob"));
        QCOMPARE(store.list(TSetting::safe), QStringList({"Bob", "zed"}));
        QVERIFY(o.removeSafeName(QStringLiteral("zed")));
        QVERIFY(!o.removeSafeName(QStringLiteral("zed")));
        QCOMPARE(store.list(TSetting::safe), QStringList({"Bob"}));
        o.quotaUnits->setValue(9);
        QCOMPARE(store.number(TSetting::quotaUnits), 9);
        // Each change once: the radio buttons' hand-over is one change.
        QSignalSpy idle(&store, &TSettingsStore::changed);
        o.ai_users->click();
        QCOMPARE(idle.count(), 1);
        QCOMPARE(store.number(TSetting::idletype), 1);
    }

    void typedTextTheEncodingCannotHoldIsRefusedAtUse()
    {
        Toptions o;
        TSettingsStore &store = *o.store();
        o.outgoingEncoding->selectIndex(Toptions::EncodeWindows1252);
        o.awaymessage->setText(QStringLiteral("\u4e2d brb"));
        QString bytes;
        QVERIFY(!store.tryBytes(TSetting::awaymessage, bytes));
        try {
            (void)store.bytes(TSetting::awaymessage);
            QFAIL("no error");
        } catch (const TError &e) {
            // The same words as the dialog's own refusal when it writes.
            QString written;
            try {
                (void)o.bytesOf(o.awaymessage);
            } catch (const TError &w) {
                written = w.text();
            }
            QCOMPARE(e.text(), written);
            QVERIFY(e.text().contains(QStringLiteral("Windows-1252")));
        }
        // Another encoding makes other bytes of what was typed.
        o.outgoingEncoding->selectIndex(Toptions::EncodeUtf8);
        QCOMPARE(store.bytes(TSetting::awaymessage),
                 TText::fromBytes(QStringLiteral("\u4e2d brb").toUtf8()));
        o.outgoingEncoding->selectIndex(Toptions::EncodeWindows1252);
        o.homechannel->setText(QStringLiteral("caf\u00e9"));
        QCOMPARE(store.bytes(TSetting::homechannel), QStringLiteral("caf\u00e9"));
        QCOMPARE(store.shown(TSetting::homechannel), QStringLiteral("caf\u00e9"));
    }

    void theStoreReachesTheControlsAndTheFile()
    {
        TSettingsStore store;
        Toptions o(nullptr, &store);
        store.setBytes(TSetting::awaymessage, QString::fromLatin1("gone \xe9"));
        QCOMPARE(o.awaymessage->text(), QStringLiteral("gone \u00e9"));
        store.setFlag(TSetting::keepJournal, false);
        QVERIFY(!o.keepJournal->isChecked());
        store.setNumber(TSetting::quotaMargin, 1234);
        QCOMPARE(o.quotaMargin->value(), 1234);
        store.setNumber(TSetting::idletype, 3);
        QVERIFY(o.ai_time->isChecked());
        QVERIFY(!o.ai_users->isChecked());
        store.setList(TSetting::triggers, {QStringLiteral("a.*b"), QStringLiteral("zz")});
        QCOMPARE(o.triggers->count(), 2);
        QCOMPARE(o.triggers->item(1)->text(), QStringLiteral("zz"));
        store.setColour(TSetting::bg_colour, QStringLiteral("Cream"));
        QCOMPARE(o.bg_colour->selectedName(), QStringLiteral("Cream"));
        o.writeconfig();
        o.writeSettingsFile();
        const QByteArray conf = readBytes(QStringLiteral("tressel.conf"));
        QVERIFY(conf.contains("\r\nawaymessage=gone \xe9\r\n"));
        QVERIFY(conf.contains("\r\nidletype=3\r\n"));
        QVERIFY(conf.contains("\r\ntriggerPhrase=a.*b\r\ntriggerPhrase=zz\r\n"));
        QVERIFY(conf.contains("\r\nbg_colour=Cream\r\n"));
        const QByteArray ini = readBytes(QStringLiteral("tressel.ini"));
        QVERIFY(ini.contains("margin=1234"));
        QVERIFY(ini.contains("journal=false"));
    }

    // In force at once, kept after Cancel; the next showing reads the file
    // by its rules: a text goes back to the file's, a flag the file holds
    // as "0" stays checked, a key the file lacks keeps its value.
    void cancelKeepsAndTheNextShowingReadsTheFile()
    {
        TSettingsStore store;
        Toptions o(nullptr, &store);
        writeBytes(QStringLiteral("tressel.conf"),
                   "homechannel=Lobby\r\ntimeStamps=0\r\nasciiPercentage=30\r\n");
        o.show();
        QCOMPARE(store.bytes(TSetting::homechannel), QStringLiteral("Lobby"));
        QCOMPARE(store.number(TSetting::AsciiPercentage), 30);
        o.homechannel->setText(QStringLiteral("Elsewhere"));
        o.timestamps->setChecked(true);
        o.squelchUc->setChecked(true);
        o.cancel->click();
        QVERIFY(!o.isVisible());
        QCOMPARE(store.bytes(TSetting::homechannel), QStringLiteral("Elsewhere"));
        QVERIFY(store.flag(TSetting::timestamps));
        o.show();
        QCOMPARE(store.bytes(TSetting::homechannel), QStringLiteral("Lobby"));
        QVERIFY(store.flag(TSetting::timestamps));
        QVERIFY(store.flag(TSetting::squelchUc));
        QCOMPARE(store.number(TSetting::AsciiPercentage), 30);
        o.hide();
    }

    void spinBoxesTakeTheirRangeFromTheTable()
    {
        Toptions o;
        int seen = 0;
        for (const TSettings::Setting &s : TSettings::all()) {
            const auto member = std::get_if<TSpinBox * Toptions::*>(&s.control);
            if (!member)
                continue;
            const TSetting::Def &d = TSetting::def(s.id);
            QCOMPARE((o.*(*member))->minimum(), d.minimum);
            QCOMPARE((o.*(*member))->maximum(), d.maximum);
            QCOMPARE((o.*(*member))->value(), QByteArray(d.start).toInt());
            ++seen;
        }
        QCOMPARE(seen, 12); // the proxy's port among them
        // Pick lists offer the table's entries.
        QCOMPARE(o.action_bot->itemText(3), TSetting::def(TSetting::action_bot).entries.at(3));
        QCOMPARE(o.server->itemText(0), TSetting::def(TSetting::server).entries.at(0));
        QCOMPARE(o.readOut->count(), 3);
        QCOMPARE(o.proxyKind->itemText(3), TSetting::def(TSetting::proxyKind).entries.at(3));
    }

    // A long list in the file reaches the store as one change, at the end
    // of the read, and a read stopped by a bad line still hands over the
    // lines before it.
    void listsReachTheStoreOncePerRead()
    {
        QByteArray file;
        for (int i = 0; i < 3000; ++i)
            file += "safe=name" + QByteArray::number(i) + "\r\n";
        writeBytes(QStringLiteral("tressel.conf"), file + "triggerPhrase=t\r\nminLineLength=x\r\n");
        Toptions o;
        QSignalSpy changed(o.store(), &TSettingsStore::changed);
        QVERIFY_THROWS_EXCEPTION(TError, o.readconfig());
        int safeChanges = 0;
        for (const QList<QVariant> &args : std::as_const(changed))
            safeChanges += args.at(0).value<TSetting::Id>() == TSetting::safe;
        QCOMPARE(safeChanges, 1);
        QCOMPARE(o.store()->list(TSetting::safe).size(), 3000);
        QCOMPARE(o.store()->list(TSetting::triggers), QStringList{QStringLiteral("t")});
    }
};

QTEST_MAIN(TestOptionsStore)
#include "test_options_store.moc"
