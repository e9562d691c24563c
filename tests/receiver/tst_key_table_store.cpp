// Collecting the key table one answer at a time.
#include "KeyTableStore.h"
#include "ReceiverLink.h"

#include <QtTest>

using Bytes = std::array<std::uint8_t, 8>;

class KeyTableStoreTest : public QObject
{
    Q_OBJECT

private slots:
    void requestsAreExact();
    void storesWholeTablesUpToTen_data();
    void storesWholeTablesUpToTen();
    void ignoresEntriesWithoutAPlace_data();
    void ignoresEntriesWithoutAPlace();
    void beginLoadClearsOnlyTheDialogsSlots();
    void tickOnDisconnectedLinkStopsWithoutAnswer();
};

void KeyTableStoreTest::requestsAreExact()
{
    QCOMPARE(ReceiverReport::ReadRequest().bytes, (Bytes{0xFC, 0, 0, 0, 0, 0, 0, 0}));
    QCOMPARE(ReceiverReport::FactoryResetRequest().bytes, (Bytes{}));
    QCOMPARE(ReceiverReport::CommitRequest().bytes, (Bytes{0xFE, 0, 0, 0, 0, 0, 0, 0}));
    QCOMPARE(ReceiverReport::WriteKeyRequest(2, 2, 0x4E, 0x02, 0x04).bytes,
             (Bytes{0xFF, 0x02, 0x02, 0x4E, 0x02, 0x04, 0, 0}));
}

void KeyTableStoreTest::storesWholeTablesUpToTen_data()
{
    QTest::addColumn<int>("size");
    for (int size : {1, 2, 3, 5, 7, 10})
        QTest::addRow("size %d", size) << size;
}

void KeyTableStoreTest::storesWholeTablesUpToTen()
{
    QFETCH(int, size);
    KeyTableStore store;
    for (int p = 1; p <= size; ++p) {
        const bool last = store.StoreAnswer(size, p, 0x10 + p, p & 0x0F, 0x03 + p);
        QCOMPARE(last, p == size);
        QCOMPARE(store.receivedSize, size);
    }
    for (int i = 0; i < size; ++i) {
        QCOMPARE(store.entryBytes[i], 0x11 + i);
        QCOMPARE(store.modifiers[i], (i + 1) & 0x0F);
        QCOMPARE(store.keyCodes[i], 0x04 + i);
    }
    for (int i = size; i < KeyTableStore::kCapacity; ++i)
        QCOMPARE(store.keyCodes[i], 0);
}

void KeyTableStoreTest::ignoresEntriesWithoutAPlace_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("position");
    QTest::newRow("size 11") << 11 << 1;
    QTest::newRow("size 11, position 11") << 11 << 11;
    QTest::newRow("size 255, position 255") << 255 << 255;
    QTest::newRow("position above size") << 5 << 6;
    QTest::newRow("position 255") << 7 << 255;
    QTest::newRow("position 0") << 5 << 0;
    QTest::newRow("size 0, position 0") << 0 << 0;
}

void KeyTableStoreTest::ignoresEntriesWithoutAPlace()
{
    QFETCH(int, size);
    QFETCH(int, position);
    KeyTableStore store;
    QVERIFY(!store.StoreAnswer(size, position, 0xEE, 0x0F, 0x99));
    // The size is taken even from an entry that is then dropped.
    QCOMPARE(store.receivedSize, size);
    for (int i = 0; i < KeyTableStore::kCapacity; ++i) {
        QCOMPARE(store.entryBytes[i], 0);
        QCOMPARE(store.modifiers[i], 0);
        QCOMPARE(store.keyCodes[i], 0);
    }
}

void KeyTableStoreTest::beginLoadClearsOnlyTheDialogsSlots()
{
    KeyTableStore store;
    for (int p = 1; p <= 9; ++p)
        store.StoreAnswer(9, p, 1, 1, 1);
    store.BeginLoad(7);
    QCOMPARE(store.receivedSize, 9);
    for (int i = 0; i < 7; ++i)
        QCOMPARE(store.keyCodes[i] + store.modifiers[i] + store.entryBytes[i], 0);
    QCOMPARE(store.keyCodes[7], 1);
    QCOMPARE(store.keyCodes[8], 1);
    store.BeginLoad(99); // never past the arrays
    store.BeginLoad(-1);
    QCOMPARE(store.keyCodes[8], 0);
}

void KeyTableStoreTest::tickOnDisconnectedLinkStopsWithoutAnswer()
{
    KeyTableStore store;
    store.StoreAnswer(2, 1, 1, 0x01, 0x13);
    ReceiverLink never; // not opened
    QCOMPARE(store.Tick(never), KeyTableStore::TickResult::Disconnected);
    QCOMPARE(store.receivedSize, 2);
    QCOMPARE(store.keyCodes[0], 0x13);
}

QTEST_GUILESS_MAIN(KeyTableStoreTest)
#include "tst_key_table_store.moc"
