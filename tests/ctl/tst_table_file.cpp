// Key table files: what is refused, on which line, and what comes back.
#include "LayoutLabels.h"
#include "TableFile.h"

#include <QTest>

class TestTableFile : public QObject
{
    Q_OBJECT
private slots:
    void EveryFamilyRoundTrips();
    void ReadsWhatPeopleWrite();
    void BadFiles_data();
    void BadFiles();
    void LayoutLabelsBesideUsNames();
};

void TestTableFile::EveryFamilyRoundTrips()
{
    for (const char* modelText : {"LT-61", "QN-70 Vela", "LT-65", "RV-80G"}) {
        const PresenterModel& model = *FindPresenterModel(modelText);
        const PresenterFamily& family = FamilyData(model.family);
        std::vector<KeyAssignment> keys;
        for (int slot = 1; slot <= family.tableSize; ++slot)
            keys.push_back({std::uint8_t(slot % 16), std::uint8_t(0x2C + slot * 5)});
        keys.back() = {};            // no key
        keys.front() = {0x01, 0x58}; // a key code the field has no name for
        const KeyTableFileParse parsed = ParseKeyTableFile(FormatKeyTableFile(model, keys));
        QVERIFY2(parsed.ok, modelText);
        QCOMPARE(parsed.table.model, &model);
        QCOMPARE(parsed.table.keys.size(), keys.size());
        for (std::size_t i = 0; i < keys.size(); ++i) {
            QCOMPARE(parsed.table.keys[i].modifiers, keys[i].modifiers);
            QCOMPARE(parsed.table.keys[i].keyCode, keys[i].keyCode);
        }
    }
    // Every assignment a receiver can hold, a modifier without a key included.
    for (int key = 0; key < 16 * 256; ++key) {
        const std::vector<KeyAssignment> keys{{std::uint8_t(key >> 8), std::uint8_t(key)}, {}};
        const std::string text = FormatKeyTableFile(*FindPresenterModel("LT-61"), keys);
        const KeyTableFileParse parsed = ParseKeyTableFile(text);
        QVERIFY2(parsed.ok && parsed.table.keys[0].modifiers == keys[0].modifiers &&
                     parsed.table.keys[0].keyCode == keys[0].keyCode,
                 text.c_str());
    }
}

void TestTableFile::ReadsWhatPeopleWrite()
{
    // A byte-order mark, blanks, CRLF, any case, slots out of order.
    const KeyTableFileParse plain = ParseKeyTableFile("\xEF\xBB\xBF# edited by hand\r\n"
                                                      "  Format=1\r\n"
                                                      "MODEL = lt-61   # case does not matter\r\n"
                                                      "\r\n"
                                                      "2 = Ctrl+=\r\n"
                                                      "1=page up");
    QVERIFY(plain.ok);
    QCOMPARE(std::string(plain.table.model->text), std::string("LT-61"));
    QCOMPARE(int(plain.table.keys[0].keyCode), 0x4B);
    QCOMPARE(int(plain.table.keys[1].modifiers), 0x01);
    QCOMPARE(int(plain.table.keys[1].keyCode), 0x2E);
}

void TestTableFile::BadFiles_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("line");
    QTest::addColumn<int>("message");
    const QByteArray head = "format = 1\nmodel = RV-80\n";
    const QByteArray body = "1 = .\n2 = Down\n3 = Up\n4 = F5\n5 = Esc\n6 = Page Up\n";
    QTest::newRow("empty") << QByteArray() << 0 << int(Msg::FileFormatMissing);
    QTest::newRow("model before format")
        << QByteArray("model = RV-80\nformat = 1\n") << 1 << int(Msg::FileFormatMissing);
    QTest::newRow("later format") << QByteArray("format = 2\n") << 1 << int(Msg::FileFormatUnknown);
    QTest::newRow("no model") << QByteArray("format = 1\n") << 0 << int(Msg::FileModelMissing);
    QTest::newRow("unknown model")
        << QByteArray("format = 1\nmodel = RV-81\n") << 2 << int(Msg::FileModelUnknown);
    QTest::newRow("slot before model")
        << QByteArray("format = 1\n1 = A\nmodel = RV-80\n") << 2 << int(Msg::FileSlotBeforeModel);
    QTest::newRow("missing slot") << head + body << 0 << int(Msg::FileSlotsMissing);
    QTest::newRow("slot beyond the family") << head + body + "7 = A\n8 = B\n"
                                            << 10 << int(Msg::BadSlot);
    QTest::newRow("slot 0") << head + "0 = A\n" << 3 << int(Msg::BadSlot);
    QTest::newRow("signed slot") << head + "+1 = A\n" << 3 << int(Msg::FileUnknownField);
    QTest::newRow("slot twice") << head + "1 = A\n01 = B\n" << 4 << int(Msg::FileFieldTwice);
    QTest::newRow("same slot line twice") << head + "1 = A\n1 = B\n"
                                          << 4 << int(Msg::FileFieldTwice);
    QTest::newRow("model twice") << head + "model = RV-80G\n" << 3 << int(Msg::FileFieldTwice);
    QTest::newRow("bad key name") << head + "1 = Ctrl+F55\n" << 3 << int(Msg::BadKeyName);
    QTest::newRow("no equals sign") << head + "1 Ctrl+F5\n" << 3 << int(Msg::FileSyntax);
    QTest::newRow("no name") << head + "= F5\n" << 3 << int(Msg::FileSyntax);
    QTest::newRow("unknown name") << head + "colour = red\n" << 3 << int(Msg::FileUnknownField);
    QTest::newRow("not text") << head + QByteArray("1 = A\0\n", 7) << 0 << int(Msg::FileNotText);
    QTest::newRow("not UTF-8") << head + "1 = \xC3\n" << 0 << int(Msg::FileNotText);
    QTest::newRow("too large") << QByteArray(int(kMaxKeyTableFileSize) + 1, '#') << 0
                               << int(Msg::FileTooLong);
}

void TestTableFile::BadFiles()
{
    QFETCH(QByteArray, text);
    QFETCH(int, line);
    QFETCH(int, message);
    const KeyTableFileParse parsed = ParseKeyTableFile(std::string_view(text.data(), text.size()));
    QVERIFY(!parsed.ok);
    QCOMPARE(parsed.error.line, line);
    QCOMPARE(int(parsed.error.message), message);
}

// Files keep US names; show adds what a German or French layout prints.
void TestTableFile::LayoutLabelsBesideUsNames()
{
    const LayoutLabels de = LayoutLabels::OfNames("de", ""), fr = LayoutLabels::OfNames("fr", "");
    // Y, Z, A and F5 on a German layout, 1 and Q on a French one, Y on a US one.
    QCOMPARE(de.Label(0x1C) + de.Label(0x1D) + de.Label(0x04) + de.Label(0x3E) + fr.Label(0x1E) +
                 fr.Label(0x14) + LayoutLabels::OfNames("us", "").Label(0x1C),
             std::string("ZY&A"));
}

QTEST_APPLESS_MAIN(TestTableFile)
#include "tst_table_file.moc"
