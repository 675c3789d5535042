// The control of the tests, KyvSample.Lamp, reaches Qt as a new control kind does: kyvqtgen
// writes its typed widget from its class table alone, with a Q_PROPERTY per property, a
// feed slot that takes what the table says its feed takes, a signal per event, and the
// picture and the room in a layout the table declares.
#include <QAccessible>
#include <QMetaProperty>
#include <QSignalSpy>
#include <QTest>

#include "kyv/qt/LampWidget.h"
#include "kyv/registry.h"

using kyvqt::LampWidget;
using kyvqt::TypedWidget;

class TestSampleWidget : public QObject {
  Q_OBJECT

 private slots:
  void itsPropertiesAreTheTables() {
    kyv::Registry registry(KYV_SAMPLE_REGISTRY);
    LampWidget lamp(&registry);
    QVERIFY(lamp.control());
    const QMetaObject& meta = *lamp.metaObject();
    QCOMPARE(meta.propertyCount() - TypedWidget::staticMetaObject.propertyCount(), 2);
    const QMetaProperty colour = meta.property(meta.indexOfProperty("OnColor"));
    QVERIFY(colour.isResettable() && colour.hasNotifySignal());
    QSignalSpy changed(&lamp, &LampWidget::OnColorChanged);
    QVERIFY(lamp.setProperty("OnColor", QColor(255, 0, 0)));
    QCOMPARE(lamp.OnColor(), QColor(255, 0, 0));
    QCOMPARE(lamp.control()->get("OnColor").toColour(), kyv::Colour{0x0000FF});
    lamp.resetOnColor();
    QCOMPARE(lamp.OnColor(), QColor(0, 255, 0));
    QCOMPARE(changed.count(), 2);
  }

  void itsFeedSlotTakesWhatTheTableSaysAndRaisesItsEvent() {
    kyv::Registry registry(KYV_SAMPLE_REGISTRY);
    LampWidget lamp(&registry);
    QSignalSpy lit(&lamp, &LampWidget::LitChanged);
    QSignalSpy switched(&lamp, &LampWidget::switched);
    QSignalSpy errors(&lamp, &TypedWidget::errorOccurred);
    QVERIFY(lamp.Switch(1));
    QVERIFY(lamp.Lit());
    QCOMPARE(lit.count(), 1);
    QCOMPARE(switched.count(), 1);
    QVERIFY(!lamp.Switch(2));
    QCOMPARE(errors.count(), 1);
    QCOMPARE(errors[0][0], QVariant(QStringLiteral("Switch")));
    QCOMPARE(errors[0][1], QVariant(QStringLiteral("overflow")));
    QCOMPARE(switched.count(), 1);
    QVERIFY(lamp.Lit());
    QCOMPARE(lamp.lowest(), 0);
    QCOMPARE(lamp.highest(), 1);
    QVERIFY(lamp.reading() && lamp.reading()->current == 1 && lamp.reading()->maximum == 1);
  }

  void itsPresentationIsTheTables() {
    kyv::Registry registry(KYV_SAMPLE_REGISTRY);
    LampWidget lamp(&registry);
    QCOMPARE(lamp.sizePolicy().horizontalPolicy(), QSizePolicy::Maximum);
    QCOMPARE(lamp.sizePolicy().verticalPolicy(), QSizePolicy::Maximum);
    QCOMPARE(lamp.sizeHint(), QSize(40, 40));
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&lamp);
    QVERIFY(accessible);
    QCOMPARE(accessible->role(), QAccessible::ProgressBar);
  }
};

QTEST_MAIN(TestSampleWidget)
#include "tst_samplewidget.moc"
