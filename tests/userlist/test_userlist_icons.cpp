// The icon rules of the user lists: product codes and gateway flags.
#include "rules/usericons.h"
#include "support/datarows.h"

#include <QtTest>

class TestUserListIcons : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // A row in words: every product by name, the flags' marks strongest
    // first, read the same two ways the icon reads them.
    void inWords_data()
    {
        textRows({"product", "flags", "expected"},
                 {{"Diablo II operator", "D2DV", "0012", "Diablo II; operator"},
                  {"plain flags", "STAR", "0000", "Starcraft"},
                  {"squelched speaker", "SEXP", "0024", "Starcraft Broodwar; speaker; squelched"},
                  {"the one-pass walk", "W2BN", "0100",
                   "Warcraft II; Blizzard representative; operator; "
                   "speaker; Battle.net administrator; squelched; "
                   "special guest"},
                  {"hexadecimal bits", "D2XP", "002a",
                   "Diablo II Lord of Destruction; operator; "
                   "Battle.net administrator; squelched"},
                  {"PGL", "JSTR", "0600", "Starcraft Japan; PGL player; PGL official"},
                  {"an unknown product", "XXXX", "junk", "Chat client"},
                  {"shareware", "DSHR", "0001", "Diablo Shareware; Blizzard representative"},
                  {"the others", "SSHR", "", "Starcraft Shareware"},
                  {"Diablo", "DRTL", "0008", "Diablo; Battle.net administrator"}});
    }
    void inWords()
    {
        QFETCH(QString, product);
        QFETCH(QString, flags);
        QFETCH(QString, expected);
        QStringList words{productName(product)};
        words += flagWords(flags);
        QCOMPARE(words.join(QStringLiteral("; ")), expected);
    }

    void productToIcon_data()
    {
        columns<QString, int>("code", "icon");
        QTest::newRow("DRTL") << "DRTL" << 9;
        QTest::newRow("STAR") << "STAR" << 10;
        QTest::newRow("DSHR") << "DSHR" << 11;
        QTest::newRow("SSHR") << "SSHR" << 12;
        QTest::newRow("SEXP") << "SEXP" << 13;
        QTest::newRow("JSTR") << "JSTR" << 14;
        QTest::newRow("D2DV") << "D2DV" << 15;
        QTest::newRow("W2BN") << "W2BN" << 16;
        QTest::newRow("D2XP") << "D2XP" << 17;
        QTest::newRow("CHAT") << "CHAT" << 8;
        QTest::newRow("empty") << "" << 8;
        QTest::newRow("unlisted") << "WAR3" << 8;
        QTest::newRow("lower case is not a code") << "star" << 8;
        QTest::newRow("longer text") << "STARX" << 8;
    }
    void productToIcon()
    {
        QFETCH(QString, code);
        QFETCH(int, icon);
        QCOMPARE(productIcon(code), icon);
    }

    void iconToProduct_data()
    {
        columns<int, QString>("icon", "code");
        const char *codes[] = {"DRTL", "STAR", "DSHR", "SSHR", "SEXP",
                               "JSTR", "D2DV", "W2BN", "D2XP"};
        for (int i = 0; i < 9; ++i)
            QTest::addRow("%d", 9 + i) << 9 + i << QString::fromLatin1(codes[i]);
        for (int i : {0, 1, 2, 5, 7, 8, 18, 19, -1, 1000})
            QTest::addRow("%d", i) << i << QStringLiteral("CHAT");
    }
    void iconToProduct()
    {
        QFETCH(int, icon);
        QFETCH(QString, code);
        QCOMPARE(productCode(icon), code);
        if (icon >= 9 && icon <= 17)
            QCOMPARE(productIcon(productCode(icon)), icon);
    }

    void flags_data()
    {
        columns<QString, QString, bool, int, bool>("product", "flags", "before", "icon",
                                                   "squelched");
        // Decimal texts: the threshold walk, each threshold once.
        QTest::newRow("0000 keeps the mark set") << "STAR"
                                                 << "0000" << true << 10 << true;
        QTest::newRow("0000 keeps the mark clear") << "D2XP"
                                                   << "0000" << false << 17 << false;
        QTest::newRow("0010 no UDP, product shows") << "STAR"
                                                    << "0010" << true << 10 << false;
        QTest::newRow("0020 squelched") << "STAR"
                                        << "0020" << false << 5 << true;
        QTest::newRow("0012 operator") << "CHAT"
                                       << "0012" << false << 2 << false;
        QTest::newRow("0030 squelched, no UDP") << "SEXP"
                                                << "0030" << false << 5 << true;
        QTest::newRow("0100 marks 40 down to 1") << "STAR"
                                                 << "0100" << false << 0 << true;
        QTest::newRow("0001 representative") << "CHAT"
                                             << "0001" << true << 0 << false;
        QTest::newRow("0002 operator") << "CHAT"
                                       << "0002" << false << 2 << false;
        QTest::newRow("0004 speaker") << "CHAT"
                                      << "0004" << false << 3 << false;
        QTest::newRow("0008 administrator") << "CHAT"
                                            << "0008" << false << 1 << false;
        QTest::newRow("0040 guest") << "W2BN"
                                    << "0040" << false << 4 << false;
        QTest::newRow("0200 PGL player") << "W2BN"
                                         << "0200" << false << 7 << false;
        QTest::newRow("0400 PGL official") << "W2BN"
                                           << "0400" << false << 6 << false;
        QTest::newRow("0600 official and player") << "W2BN"
                                                  << "0600" << false << 7 << false;
        QTest::newRow("0022 op over squelched") << "CHAT"
                                                << "0022" << false << 2 << true;
        QTest::newRow("0028 admin over squelched") << "CHAT"
                                                   << "0028" << false << 1 << true;
        QTest::newRow("0060 squelched over guest") << "CHAT"
                                                   << "0060" << false << 5 << true;
        QTest::newRow("0003 rep over op") << "CHAT"
                                          << "0003" << false << 0 << false;
        QTest::newRow("9999 walk subtracts once") << "CHAT"
                                                  << "9999" << false << 0 << true;
        // Hexadecimal texts: the gateway's bits.
        QTest::newRow("000a op and admin") << "STAR"
                                           << "000a" << false << 2 << false;
        QTest::newRow("000C speaker and admin") << "STAR"
                                                << "000C" << false << 3 << false;
        QTest::newRow("000e op") << "STAR"
                                 << "000e" << false << 2 << false;
        QTest::newRow("002a op, squelched") << "STAR"
                                            << "002a" << false << 2 << true;
        QTest::newRow("003a squelched bit with no UDP") << "STAR"
                                                        << "003a" << false << 2 << true;
        QTest::newRow("004f rep over the rest") << "STAR"
                                                << "004f" << true << 0 << false;
        QTest::newRow("020a op beats PGL player") << "STAR"
                                                  << "020a" << false << 2 << false;
        QTest::newRow("060b rep") << "STAR"
                                  << "060b" << false << 0 << false;
        QTest::newRow("00f0 squelched over guest") << "STAR"
                                                   << "00f0" << false << 5 << true;
        QTest::newRow("00b0 squelched") << "DRTL"
                                        << "00b0" << false << 5 << true;
        QTest::newRow("001f rep") << "DRTL"
                                  << "001f" << true << 0 << false;
        QTest::newRow("0a00 PGL player bit only") << "DRTL"
                                                  << "0a00" << false << 7 << false;
        QTest::newRow("0c00 PGL official bit only") << "DRTL"
                                                    << "0c00" << true << 6 << false;
        // Not a number: the product shows, nothing changes.
        QTest::newRow("letters") << "STAR"
                                 << "zz12" << true << 10 << true;
        QTest::newRow("empty") << "D2DV"
                               << "" << true << 15 << true;
    }
    void flags()
    {
        QFETCH(QString, product);
        QFETCH(QString, flags);
        QFETCH(bool, before);
        QFETCH(int, icon);
        QFETCH(bool, squelched);
        bool mark = before;
        QCOMPARE(flagsIcon(product, flags, mark), icon);
        QCOMPARE(mark, squelched);
    }
};

QTEST_GUILESS_MAIN(TestUserListIcons)
#include "test_userlist_icons.moc"
