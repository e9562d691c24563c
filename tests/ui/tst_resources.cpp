#include "res/DialogTemplates.h"
#include "res/Resources.h"

#include <QtTest>

#include <map>
#include <set>

class ResourcesTest : public QObject
{
    Q_OBJECT
private slots:
    void everyBitmapLoadsAtItsSize_data();
    void everyBitmapLoadsAtItsSize();
    void unknownIdsGiveNothing();
    void prefetchingChangesNoPixel();
    void applicationIcon();
    void templateControlIdsAreUnique();
};

void ResourcesTest::everyBitmapLoadsAtItsSize_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<qreal>("screenRatio");
    QTest::addColumn<qreal>("drawingRatio");
    std::vector<std::pair<int, QSize>> bitmaps;
    for (int id : {134, 163, 164, 165, 170, 172, 173, 174, 175, 179, 181})
        bitmaps.push_back({id, QSize(425, 320)});
    for (int id : {135, 136, 137, 138, 142, 143, 145, 146, 147, 148, 177, 178})
        bitmaps.push_back({id, QSize(85, 25)});
    const std::pair<int, QSize> pictures[] = {
        {144, {162, 269}}, {158, {155, 276}}, {159, {161, 271}}, {160, {159, 274}},
        {161, {161, 275}}, {162, {157, 274}}, {176, {162, 275}}, {180, {162, 275}}};
    bitmaps.insert(bitmaps.end(), std::begin(pictures), std::end(pictures));
    // Any screen finer than 1:1 gets the 2x drawing, scaled down by Qt where
    // needed rather than the plain one scaled up.
    for (const auto& [id, size] : bitmaps)
        for (const auto& [screen, drawing] : {std::pair{1.0, 1.0}, {1.5, 2.0}, {2.0, 2.0}})
            QTest::addRow("%d at %.1f", id, screen) << id << size << screen << drawing;
}

void ResourcesTest::everyBitmapLoadsAtItsSize()
{
    QFETCH(int, id);
    QFETCH(QSize, size);
    QFETCH(qreal, screenRatio);
    QFETCH(qreal, drawingRatio);
    const QImage image = LoadBitmapResource(id, screenRatio);
    QCOMPARE(image.deviceIndependentSize().toSize(), size);
    QCOMPARE(image.devicePixelRatio(), drawingRatio);
    QCOMPARE(image.size(), size * drawingRatio);
    QCOMPARE(image.format(), QImage::Format_RGB32);
    // However the program stores its art, it shows the committed pixels.
    const QString committed = QStringLiteral("%1/%2%3.bmp")
                                  .arg(qEnvironmentVariable("TAVROLIN_ART_DIR"))
                                  .arg(id)
                                  .arg(drawingRatio > 1.0 ? "@2x" : "");
    QVERIFY(image == QImage(committed).convertToFormat(QImage::Format_RGB32));
}

void ResourcesTest::unknownIdsGiveNothing()
{
    for (int id : {0, -1, 133, 139, 171, 182})
        QVERIFY2(LoadBitmapResource(id).isNull(), qPrintable(QString::number(id)));
    QVERIFY(!FindDialogTemplate(0));
    QVERIFY(!FindDialogTemplate(128));
}

void ResourcesTest::prefetchingChangesNoPixel()
{
    for (const qreal ratio : {1.0, 2.0}) {
        const std::vector<int> ids{134, 136, 158, 999};
        std::map<int, QImage> plain;
        for (int id : ids)
            plain[id] = LoadBitmapResource(id, ratio);
        for (const bool waitForThread : {false, true}) {
            BitmapPrefetch prefetch(ids, ratio);
            if (waitForThread)
                QThread::msleep(50);
            // Out of order, one twice, one at the other scale, one the program lacks.
            QCOMPARE(LoadBitmapResource(158, ratio), plain[158]);
            QCOMPARE(LoadBitmapResource(134, ratio), plain[134]);
            QCOMPARE(LoadBitmapResource(134, ratio), plain[134]);
            QCOMPARE(LoadBitmapResource(136, 3.0 - ratio).devicePixelRatio(), 3.0 - ratio);
            QVERIFY(LoadBitmapResource(999, ratio).isNull());
            // 136 at this scale is never asked for: dropped with the prefetch.
        }
        QCOMPARE(LoadBitmapResource(136, ratio), plain[136]);
    }
}

void ResourcesTest::applicationIcon()
{
    QVERIFY(!ApplicationIcon().pixmap(32, 32).isNull());
    // Read once: every caller shares the one icon.
    QCOMPARE(ApplicationIcon().cacheKey(), ApplicationIcon().cacheKey());
}

void ResourcesTest::templateControlIdsAreUnique()
{
    // A repeated id would hand one member two places.
    for (int id : {102, 129, 130, 131, 132, 140}) {
        const DialogTemplate* t = FindDialogTemplate(id);
        QVERIFY(t && t->id == id);
        std::set<int> seen;
        for (const ControlTemplate& c : t->controls)
            QVERIFY2(c.id == -1 || seen.insert(c.id).second, qPrintable(QString::number(c.id)));
        QVERIFY(seen.count(1)); // every dialog has its OK button
    }
}

QTEST_MAIN(ResourcesTest)
#include "tst_resources.moc"
