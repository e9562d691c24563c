#include "res/DialogTemplates.h"
#include "res/Resources.h"

#include <QtTest>

#include <set>

class ResourcesTest : public QObject
{
    Q_OBJECT
private slots:
    void everyBitmapLoadsAtItsSize_data();
    void everyBitmapLoadsAtItsSize();
    void unknownBitmapIsNull();
    void applicationIcon();
    void templatesAreComplete();
    void templateControlsAreConsistent();
};

void ResourcesTest::everyBitmapLoadsAtItsSize_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QSize>("size");
    const QSize page(425, 320);
    const QSize face(85, 25);
    for (int id : {134, 163, 164, 165, 170, 172, 173, 174, 175, 179, 181})
        QTest::addRow("page %d", id) << id << page;
    for (int id : {135, 136, 137, 138, 142, 143, 145, 146, 147, 148, 177, 178})
        QTest::addRow("face %d", id) << id << face;
    QTest::addRow("picture 144") << 144 << QSize(162, 269);
    QTest::addRow("picture 158") << 158 << QSize(155, 276);
    QTest::addRow("picture 159") << 159 << QSize(161, 271);
    QTest::addRow("picture 160") << 160 << QSize(159, 274);
    QTest::addRow("picture 161") << 161 << QSize(161, 275);
    QTest::addRow("picture 162") << 162 << QSize(157, 274);
    QTest::addRow("picture 176") << 176 << QSize(162, 275);
    QTest::addRow("picture 180") << 180 << QSize(162, 275);
}

void ResourcesTest::everyBitmapLoadsAtItsSize()
{
    QFETCH(int, id);
    QFETCH(QSize, size);
    const QImage image = LoadBitmapResource(id);
    QVERIFY(!image.isNull());
    QCOMPARE(image.size(), size);
    QVERIFY(std::count(BitmapResourceIds().begin(), BitmapResourceIds().end(), id) == 1);
}

void ResourcesTest::unknownBitmapIsNull()
{
    QCOMPARE(BitmapResourceIds().size(), std::size_t(31));
    for (int id : {0, -1, 133, 139, 171, 182})
        QVERIFY2(LoadBitmapResource(id).isNull(), qPrintable(QString::number(id)));
}

void ResourcesTest::applicationIcon()
{
    const QIcon icon = ApplicationIcon();
    QVERIFY(!icon.isNull());
    QVERIFY(!icon.pixmap(32, 32).isNull());
}

void ResourcesTest::templatesAreComplete()
{
    struct Expected
    {
        int id, cx, cy;
        std::size_t controls;
    };
    for (const Expected& e :
         {Expected{102, 212, 159, 15}, Expected{129, 212, 158, 6}, Expected{130, 212, 159, 9},
          Expected{131, 208, 160, 9}, Expected{132, 210, 159, 11}, Expected{140, 213, 157, 1}}) {
        const DialogTemplate* t = FindDialogTemplate(e.id);
        QVERIFY2(t, qPrintable(QString::number(e.id)));
        QCOMPARE(t->id, e.id);
        QCOMPARE(t->cx, e.cx);
        QCOMPARE(t->cy, e.cy);
        QCOMPARE(t->controls.size(), e.controls);
    }
    QVERIFY(!FindDialogTemplate(0));
    QVERIFY(!FindDialogTemplate(128));
}

void ResourcesTest::templateControlsAreConsistent()
{
    for (int id : {102, 129, 130, 131, 132, 140}) {
        const DialogTemplate* t = FindDialogTemplate(id);
        std::set<int> seen;
        for (const ControlTemplate& c : t->controls) {
            const QString where = QStringLiteral("template %1 control %2").arg(id).arg(c.id);
            if (c.id != -1)
                QVERIFY2(seen.insert(c.id).second, qPrintable(where));
            QCOMPARE(c.visible, (c.style & WS_VISIBLE) != 0);
            QVERIFY2(c.style & WS_CHILD, qPrintable(where));
            // Pictures carry a bitmap that exists; nothing else carries one.
            const bool picture =
                c.cls == ControlClass::Static && (c.style & SS_TYPEMASK) == SS_BITMAP;
            QCOMPARE(picture, c.bitmapId != 0);
            if (picture)
                QVERIFY2(!LoadBitmapResource(c.bitmapId).isNull(), qPrintable(where));
            if (c.cls == ControlClass::Button)
                QCOMPARE(c.style & BS_TYPEMASK, BS_OWNERDRAW);
            if (c.cls == ControlClass::Edit)
                QVERIFY2((c.style & (WS_BORDER | WS_TABSTOP | ES_CENTER | ES_AUTOHSCROLL)) ==
                             (WS_BORDER | WS_TABSTOP | ES_CENTER | ES_AUTOHSCROLL),
                         qPrintable(where));
        }
        // Every dialog has its OK button.
        QVERIFY(seen.count(1));
    }
    QCOMPARE(ControlInitialData(102, 1000).size(), std::size_t(7));
    QCOMPARE(ControlInitialData(102, 1000).front(), std::string("LT-61"));
    QCOMPARE(ControlInitialData(102, 1056), (std::vector<std::string>{"English", "Korean"}));
    QVERIFY(ControlInitialData(102, 1001).empty());
    QVERIFY(ControlInitialData(130, 1000).empty());
}

QTEST_MAIN(ResourcesTest)
#include "tst_Resources.moc"
