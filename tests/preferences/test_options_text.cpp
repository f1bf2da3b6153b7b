// Text in the preferences: the text settings and the two lists show what a
// person reads, keep the bytes the file gave them, and encode only what the
// user typed or edited, in the encoding chosen on the Advanced tab.
#include "base/clock.h"
#include "optionstestutil.h"
#include "support/datarows.h"
#include "support/waits.h"
#include "widgets/textitems.h"

#include <QPushButton>

namespace {
using Replacements = QList<std::pair<QByteArray, QByteArray>>;

QString u8(const char *s) { return QString::fromUtf8(s); }
QString bytes(const QByteArray &b) { return QString::fromLatin1(b); }

// Every line of tressel.conf that holds text, with an ASCII stand-in value
// the tests replace by the bytes under test.
void setStandIns(Toptions &o)
{
    o.username->setText(QStringLiteral("USER"));
    o.password->setText(QStringLiteral("PASS"));
    o.serverEdit()->setText(QStringLiteral("HOST"));
    o.homechannel->setText(QStringLiteral("HOME"));
    o.awaymessage->setText(QStringLiteral("AWAY"));
    o.triggers->addItem(QStringLiteral("TRIG"));
    o.insertSafeName(QStringLiteral("aaa"));
    o.insertSafeName(QStringLiteral("SAFE"));
}
} // namespace

class TestOptionsText : public QObject, OptionsBench<> {
    Q_OBJECT
    Toptions &fresh() { return freshOptions(); }
    // tressel.conf as the program writes it, with the stand-ins replaced.
    QByteArray confWith(const Replacements &replace)
    {
        Toptions &o = fresh();
        setStandIns(o);
        o.writeconfig();
        QByteArray file = readBytes(QStringLiteral("tressel.conf"));
        for (const auto &r : replace) {
            const qsizetype at = file.indexOf(r.first);
            if (at < 0)
                qFatal("no %s in the file", r.first.constData());
            file.replace(at, r.first.size(), r.second);
        }
        return file;
    }
    void setEncoding(Toptions &o, int index) { o.outgoingEncoding->selectIndex(index); }

private Q_SLOTS:
    void init()
    {
        openBench();
        setClock([] { return QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9)); });
    }
    void cleanup()
    {
        closeBench();
        setClock({});
    }

    // A file in Latin-1, in UTF-8 or in both at once is shown decoded and,
    // untouched, written back byte for byte by OK.
    void fileRoundTripsByteForByte_data()
    {
        columns<QByteArray, QByteArray, QByteArray, QByteArray, QByteArray, int>(
            "user", "away", "trigger", "safe", "font", "encoding");
        QTest::newRow("latin-1") << QByteArray("Jos\xe9") << QByteArray("caf\xe9 \x80 5")
                                 << QByteArray("^\xe9t\xe9$") << QByteArray("\xc9mile")
                                 << QByteArray("Caf\xe9 Sans") << int(Toptions::EncodeUtf8);
        QTest::newRow("utf-8") << QByteArray("Jos\xc3\xa9")
                               << QByteArray("caf\xc3\xa9 \xe2\x82\xac 5")
                               << QByteArray("^\xc3\xa9t\xc3\xa9$") << QByteArray("\xc3\x89mile")
                               << QByteArray("Caf\xc3\xa9 Sans")
                               << int(Toptions::EncodeWindows1252);
        QTest::newRow("both") << QByteArray("Jos\xc3\xa9") << QByteArray("caf\xe9 \x80 5")
                              << QByteArray("^\xc3\xa9t\xc3\xa9$") << QByteArray("\xc9mile")
                              << QByteArray("Caf\xe9 Sans") << int(Toptions::EncodeUtf8);
    }
    void fileRoundTripsByteForByte()
    {
        QFETCH(QByteArray, user);
        QFETCH(QByteArray, away);
        QFETCH(QByteArray, trigger);
        QFETCH(QByteArray, safe);
        QFETCH(QByteArray, font);
        QFETCH(int, encoding);
        const QByteArray file = confWith({
            {"username=USER", "username=" + user},
            {"password=PASS", "password=p\xe4ss" + user},
            {"server=HOST", "server=h\xf4te"},
            {"homechannel=HOME", "homechannel=Op " + user},
            {"awaymessage=AWAY", "awaymessage=" + away},
            {"triggerPhrase=TRIG", "triggerPhrase=" + trigger},
            {"safe=SAFE", "safe=" + safe},
            {"chat_font=MS Sans Serif", "chat_font=" + font},
        });
        writeBytes(QStringLiteral("tressel.conf"), file);

        Toptions &o = fresh();
        o.FormShow();
        setEncoding(o, encoding); // an encoding that does not fit some bytes changes nothing
        QCOMPARE(o.username->text(), u8("Jos\u00e9"));
        QCOMPARE(o.awaymessage->text(), u8("caf\u00e9 \u20ac 5"));
        QCOMPARE(o.homechannel->text(), u8("Op Jos\u00e9"));
        QCOMPARE(o.server->currentText(), u8("h\u00f4te"));
        QCOMPARE(o.triggers->item(0)->text(), u8("^\u00e9t\u00e9$"));
        QCOMPARE(TTextItem::bytesOf(o.triggers->item(0)), bytes(trigger));
        QCOMPARE(o.safe->count(), 2);
        QCOMPARE(o.safe->item(1)->text(), u8("\u00c9mile"));
        QCOMPARE(TTextItem::bytesOf(o.safe->item(1)), bytes(safe));
        QCOMPARE(m_fake->chat.font().family(), u8("Caf\u00e9 Sans"));

        o.okClick();
        QCOMPARE(readBytes(QStringLiteral("tressel.conf")), file);
        QVERIFY(m_dialogs->asked.isEmpty());
    }

    // Edited text goes to the file in the chosen encoding; a character that
    // encoding cannot hold stops OK with a box that names it, and the file
    // stays as it was.
    void editedFieldsAreEncoded_data()
    {
        // line: empty: refused
        columns<QString, int, QString, QByteArray>("field", "encoding", "typed", "line");
        const int utf8 = Toptions::EncodeUtf8, cp1252 = Toptions::EncodeWindows1252;
        QTest::newRow("utf-8 name")
            << "username" << utf8 << u8("Zo\u00eb") << QByteArray("username=Zo\xc3\xab");
        QTest::newRow("1252 name")
            << "username" << cp1252 << u8("Zo\u00eb") << QByteArray("username=Zo\xeb");
        QTest::newRow("1252 euro") << "awaymessage" << cp1252 << u8("\u20ac5 off")
                                   << QByteArray("awaymessage=\x80"
                                                 "5 off");
        QTest::newRow("utf-8 cyrillic")
            << "homechannel" << utf8 << u8("\u043f\u0440\u0438\u0432\u0435\u0442")
            << QByteArray("homechannel=\xd0\xbf\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82");
        QTest::newRow("1252 cyrillic")
            << "homechannel" << cp1252 << u8("Op \u043f") << QByteArray();
        QTest::newRow("1252 password") << "password" << cp1252 << u8("\u263a") << QByteArray();
    }
    void editedFieldsAreEncoded()
    {
        QFETCH(QString, field);
        QFETCH(int, encoding);
        QFETCH(QString, typed);
        QFETCH(QByteArray, line);
        writeBytes(QStringLiteral("tressel.conf"),
                   confWith({{"username=USER", "username=Jos\xe9"}}));
        Toptions &o = fresh();
        o.show();
        QVERIFY(waitExposed(&o));
        setEncoding(o, encoding);
        auto *edit = o.findChild<TByteEdit *>(field);
        QVERIFY(edit);
        edit->setText(typed);
        const QByteArray before = readBytes(QStringLiteral("tressel.conf"));
        o.ok->click();
        QCoreApplication::processEvents();
        if (line.isEmpty()) {
            QTRY_COMPARE(m_dialogs->errors().size(), 1);
            const QString error = m_dialogs->errors().first();
            QVERIFY2(error.contains(QLatin1Char('"') + typed.right(1) + QLatin1Char('"')),
                     qPrintable(error));
            QVERIFY2(error.contains(QStringLiteral("Windows-1252")), qPrintable(error));
            QVERIFY2(error.contains(edit->property("caption").toString()), qPrintable(error));
            QVERIFY(o.isVisible());
            QCOMPARE(readBytes(QStringLiteral("tressel.conf")), before);
            return;
        }
        QVERIFY(m_dialogs->errors().isEmpty());
        QVERIFY(!o.isVisible());
        const QByteArray file = readBytes(QStringLiteral("tressel.conf"));
        QVERIFY2(file.contains("\r\n" + line + "\r\n"), file.constData());
        if (field != QLatin1String("username")) // the untouched field keeps its Latin-1 bytes
            QVERIFY(file.contains("\r\nusername=Jos\xe9\r\n"));
        // Read back, the field shows what was typed.
        Toptions &again = fresh();
        again.FormShow();
        QCOMPARE(again.findChild<TByteEdit *>(field)->text(), typed);
    }

    // Adding to and editing the lists: typed text in the chosen encoding, an
    // answer left as it was keeps its bytes, a character the encoding cannot
    // hold is refused with a box and the list stays as it was.
    void listEntries_data()
    {
        // edit: else add
        // answer: null: the entry's own text
        // line: empty: refused
        columns<QString, bool, int, QString, QByteArray>("list", "edit", "encoding", "answer",
                                                         "line");
        const int utf8 = Toptions::EncodeUtf8, cp1252 = Toptions::EncodeWindows1252;
        QTest::newRow("add safe utf-8")
            << "safe" << false << utf8 << u8("Zo\u00eb") << QByteArray("safe=Zo\xc3\xab");
        QTest::newRow("add safe 1252")
            << "safe" << false << cp1252 << u8("Zo\u00eb") << QByteArray("safe=Zo\xeb");
        QTest::newRow("add safe refused")
            << "safe" << false << cp1252 << u8("\u042e\u043b\u044f") << QByteArray();
        QTest::newRow("edit safe 1252") << "safe" << true << cp1252 << u8("Ren\u00e9e")
                                        << QByteArray("safe=Ren\xe9"
                                                      "e");
        QTest::newRow("edit safe unchanged")
            << "safe" << true << utf8 << QString() << QByteArray("safe=Jos\xe9");
        QTest::newRow("edit safe refused")
            << "safe" << true << cp1252 << u8("\u0416") << QByteArray();
        QTest::newRow("add trigger utf-8")
            << "triggers" << false << utf8 << u8("(?i)\u043f\u0440\u0438")
            << QByteArray("triggerPhrase=(?i)\xd0\xbf\xd1\x80\xd0\xb8");
        QTest::newRow("edit trigger 1252") << "triggers" << true << cp1252 << u8("caf\u20ac")
                                           << QByteArray("triggerPhrase=caf\x80");
        QTest::newRow("edit trigger unchanged")
            << "triggers" << true << cp1252 << QString() << QByteArray("triggerPhrase=Jos\xe9");
    }
    void listEntries()
    {
        QFETCH(QString, list);
        QFETCH(bool, edit);
        QFETCH(int, encoding);
        QFETCH(QString, answer);
        QFETCH(QByteArray, line);
        writeBytes(QStringLiteral("tressel.conf"),
                   confWith({{"safe=SAFE", "safe=Jos\xe9"},
                             {"triggerPhrase=TRIG", "triggerPhrase=Jos\xe9"}}));
        Toptions &o = fresh();
        o.FormShow();
        setEncoding(o, encoding);
        const bool safe = list == QLatin1String("safe");
        QListWidget *l = safe ? o.safe : o.triggers;
        const QString entryBefore =
            safe ? QStringLiteral("safe=Jos\xe9") : QStringLiteral("triggerPhrase=Jos\xe9");
        const int row = safe ? 1 : 0; // "aaa" sorts first
        QCOMPARE(l->item(row)->text(), u8("Jos\u00e9"));
        const int countBefore = l->count();
        m_dialogs->inputAnswers.enqueue({true, answer.isNull() ? l->item(row)->text() : answer});
        if (edit) {
            l->setCurrentRow(row);
            safe ? o.editSafeClick() : o.editTriggerClick();
        } else {
            safe ? o.addSafeClick() : o.addTriggerClick();
        }
        o.okClick();
        const QByteArray file = readBytes(QStringLiteral("tressel.conf"));
        if (line.isEmpty()) {
            QCOMPARE(m_dialogs->errors().size(), 1);
            QVERIFY2(m_dialogs->errors().first().contains(QStringLiteral("Windows-1252")),
                     qPrintable(m_dialogs->errors().first()));
            QCOMPARE(l->count(), countBefore);
            QCOMPARE(l->item(row)->text(), u8("Jos\u00e9"));
            QVERIFY(file.contains(entryBefore.toLatin1() + "\r\n"));
            return;
        }
        QVERIFY(m_dialogs->errors().isEmpty());
        QVERIFY2(file.contains("\r\n" + line + "\r\n"), file.constData());
        QCOMPARE(l->count(), countBefore + (edit ? 0 : 1));
        if (!edit) // the entry already there keeps its bytes
            QVERIFY(file.contains(entryBefore.toLatin1() + "\r\n"));
    }

    // The field gives back the bytes it was given while its text stands;
    // edited, it encodes, and an edit back to the same text is the same.
    void byteEditKeepsItsBytes()
    {
        TByteEdit e;
        e.setBytes(bytes("caf\xe9"));
        QCOMPARE(e.text(), u8("caf\u00e9"));
        QString out;
        QVERIFY(e.bytes(TText::Encoding::Utf8, out));
        QCOMPARE(out, bytes("caf\xe9"));
        e.setText(u8("caf\u00e9!"));
        QVERIFY(e.bytes(TText::Encoding::Utf8, out));
        QCOMPARE(out, bytes("caf\xc3\xa9!"));
        e.setText(u8("caf\u00e9"));
        QVERIFY(e.bytes(TText::Encoding::Utf8, out));
        QCOMPARE(out, bytes("caf\xe9"));
        e.setText(u8("\u20ac\u043f"));
        QString bad;
        out = QStringLiteral("kept");
        QVERIFY(!e.bytes(TText::Encoding::Windows1252, out, &bad));
        QCOMPARE(bad, u8("\u043f"));
        QCOMPARE(out, QStringLiteral("kept"));
    }
};

QTEST_MAIN(TestOptionsText)
#include "test_options_text.moc"
