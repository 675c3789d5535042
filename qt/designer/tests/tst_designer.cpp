// The Designer plugin loaded from the build's plugin folder: what Designer's widget box
// gets from it, and a form holding all eight typed widgets built through QUiLoader.
#include <QFile>
#include <QMetaProperty>
#include <QPluginLoader>
#include <QRegularExpression>
#include <QTest>
#include <QUiLoader>
#include <QXmlStreamReader>
#include <QtUiPlugin/QDesignerCustomWidgetCollectionInterface>
#include <QtUiPlugin/QDesignerCustomWidgetInterface>

#include "kyv/controls.h"
#include "kyv/qt/Widgets.h"

namespace {

QDesignerCustomWidgetCollectionInterface* collection(QPluginLoader& loader) {
  return qobject_cast<QDesignerCustomWidgetCollectionInterface*>(loader.instance());
}

// What a widget's domXml holds: the class of its widget and the size it places it at.
struct Dom {
  QString widgetClass;
  QSize size;
  bool valid = false;
};

Dom readDom(const QString& xml) {
  Dom dom;
  QXmlStreamReader reader(xml);
  while (!reader.atEnd()) {
    if (reader.readNext() != QXmlStreamReader::StartElement) continue;
    if (reader.name() == QLatin1String("widget") && dom.widgetClass.isEmpty())
      dom.widgetClass = reader.attributes().value(QLatin1String("class")).toString();
    else if (reader.name() == QLatin1String("width"))
      dom.size.setWidth(reader.readElementText().toInt());
    else if (reader.name() == QLatin1String("height"))
      dom.size.setHeight(reader.readElementText().toInt());
  }
  dom.valid = !reader.hasError();
  return dom;
}

}  // namespace

class TestDesigner : public QObject {
  Q_OBJECT

 private slots:
  // Designer's widget box: eight widgets in group "Kyv", in the catalog's order, each with
  // the control's own picture as icon, its header, its tooltip and its design size.
  void theCollectionOffersTheEightWidgets() {
    QPluginLoader loader(QStringLiteral(KYV_DESIGNER_PLUGIN));
    QDesignerCustomWidgetCollectionInterface* plugin = collection(loader);
    QVERIFY2(plugin, qPrintable(loader.errorString()));
    const QList<QDesignerCustomWidgetInterface*> widgets = plugin->customWidgets();
    const auto catalog = kyvqt::widgetCatalog();
    QCOMPARE(widgets.size(), qsizetype(kyv::kControlCount));
    QCOMPARE(qsizetype(catalog.size()), widgets.size());
    for (qsizetype i = 0; i < widgets.size(); ++i) {
      QDesignerCustomWidgetInterface* w = widgets[i];
      const kyvqt::WidgetEntry& entry = catalog[size_t(i)];
      QCOMPARE(w->name(), QString::fromLatin1(entry.qtClassName));
      QCOMPARE(w->group(), QStringLiteral("Kyv"));
      QCOMPARE(w->includeFile(), QStringLiteral("<%1>").arg(QString::fromLatin1(entry.header)));
      QCOMPARE(w->toolTip(), QString::fromUtf8(entry.toolTip));
      QVERIFY(w->whatsThis().contains(QString::fromLatin1(entry.controlClassName)));
      QVERIFY(!w->isContainer());
      const QIcon icon = w->icon();
      QVERIFY2(!icon.isNull(), entry.qtClassName);
      // The icon is the control's picture, not a blank: it has more than one colour.
      const QImage picture = icon.pixmap(64, 64).toImage();
      QSet<QRgb> colours;
      for (int y = 0; y < picture.height(); y += 2)
        for (int x = 0; x < picture.width(); x += 2) colours.insert(picture.pixel(x, y));
      QVERIFY2(colours.size() > 2, entry.qtClassName);

      std::unique_ptr<QWidget> made(w->createWidget(nullptr));
      auto* typed = qobject_cast<kyvqt::TypedWidget*>(made.get());
      QVERIFY2(typed && typed->control(), entry.qtClassName);
      QCOMPARE(QString::fromLatin1(made->metaObject()->className()), w->name());
      const Dom dom = readDom(w->domXml());
      QVERIFY2(dom.valid, qPrintable(w->domXml()));
      QCOMPARE(dom.widgetClass, w->name());
      QCOMPARE(dom.size, typed->sizeHint());
      QVERIFY(dom.size.width() > 10 && dom.size.height() > 10);
    }
  }

  // Designer offers the object name of a dropped widget as its variable name: the class's
  // name without its namespace, lower camel case.
  void theDomNamesEachWidgetAfterItsClass() {
    QPluginLoader loader(QStringLiteral(KYV_DESIGNER_PLUGIN));
    QDesignerCustomWidgetCollectionInterface* plugin = collection(loader);
    QVERIFY2(plugin, qPrintable(loader.errorString()));
    const QRegularExpression identifier(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    for (QDesignerCustomWidgetInterface* w : plugin->customWidgets()) {
      QString expected = w->name().section(QStringLiteral("::"), -1);
      expected[0] = expected[0].toLower();
      QXmlStreamReader reader(w->domXml());
      QString name;
      while (!reader.atEnd() && name.isEmpty())
        if (reader.readNext() == QXmlStreamReader::StartElement && reader.name() == QLatin1String("widget"))
          name = reader.attributes().value(QLatin1String("name")).toString();
      QCOMPARE(name, expected);
      QVERIFY2(identifier.match(name).hasMatch(), qPrintable(name));
    }
  }

  // Designer's property editor shows every designable, writable property: each typed
  // widget's own ones are all so, of a type the editor edits (int, bool, colour), and
  // each can be reset to its default.
  void everyPropertyIsEditable() {
    for (const kyvqt::WidgetEntry& entry : kyvqt::widgetCatalog()) {
      std::unique_ptr<QWidget> w(entry.create(nullptr));
      const QMetaObject* meta = w->metaObject();
      const int first = kyvqt::TypedWidget::staticMetaObject.propertyOffset();
      QVERIFY2(meta->propertyCount() - first > 3, entry.qtClassName);
      for (int i = first; i < meta->propertyCount(); ++i) {
        const QMetaProperty p = meta->property(i);
        const QByteArray what = QByteArray(entry.qtClassName) + "::" + p.name();
        QVERIFY2(p.isDesignable() && p.isWritable() && p.isResettable(), what.constData());
        const int type = p.metaType().id();
        QVERIFY2(type == QMetaType::Int || type == QMetaType::Bool || type == QMetaType::QColor, what.constData());
      }
    }
  }

  // A form saved with all eight widgets and some of their properties changed comes back
  // through QUiLoader with the plugin: each widget of its class, holding its control, with
  // the saved values in the control.
  void aFormWithAllEightLoadsWithItsProperties() {
    QUiLoader loader;
    loader.clearPluginPaths();
    loader.addPluginPath(QStringLiteral(KYV_DESIGNER_PLUGIN_DIR));
    for (const kyvqt::WidgetEntry& entry : kyvqt::widgetCatalog())
      QVERIFY2(loader.availableWidgets().contains(QString::fromLatin1(entry.qtClassName)), entry.qtClassName);
    QFile file(QStringLiteral(KYV_ALL_WIDGETS_UI));
    QVERIFY(file.open(QIODevice::ReadOnly));
    std::unique_ptr<QWidget> form(loader.load(&file));
    QVERIFY2(form, qPrintable(loader.errorString()));
    const QList<kyvqt::TypedWidget*> all = form->findChildren<kyvqt::TypedWidget*>();
    QCOMPARE(all.size(), qsizetype(kyv::kControlCount));
    for (kyvqt::TypedWidget* w : all) QVERIFY2(w->control(), qPrintable(w->objectName()));

    auto* bar = form->findChild<kyvqt::KyvvstatWidget*>(QStringLiteral("bar"));
    QVERIFY(bar);
    QCOMPARE(bar->Maxlimit(), 200);
    QCOMPARE(bar->get("Maxlimit").toLong(), 200);
    QCOMPARE(bar->FillColor(), QColor(0, 0, 128));
    QCOMPARE(bar->get("FillColor").toColour().value, 0x800000u);
    QVERIFY(!bar->CaptionVisible());
    QVERIFY(bar->keepReadingOnResize());
    QVERIFY(bar->BackColor().isValid());  // not saved: its default, the button face
    QCOMPARE(bar->get("BackColor").toColour().value, 0x8000000Fu);

    auto* level = form->findChild<kyvqt::HstatWidget*>(QStringLiteral("level"));
    QVERIFY(level);
    QCOMPARE(level->MaxThreshold(), 70);
    QCOMPARE(level->Bar3D(), 1);
    auto* digit = form->findChild<kyvqt::SsegWidget*>(QStringLiteral("digit"));
    QVERIFY(digit);
    QCOMPARE(digit->DisplayColor(), QColor(255, 0, 0));
    QCOMPARE(digit->maxlimit(), 5);
    auto* counter = form->findChild<kyvqt::FoursegWidget*>(QStringLiteral("counter"));
    QVERIFY(counter);
    QCOMPARE(counter->BorderStyle(), 0);
    QCOMPARE(counter->maxlimit(), 500);
    auto* total = form->findChild<kyvqt::SixsegWidget*>(QStringLiteral("total"));
    QVERIFY(total);
    QCOMPARE(total->DisplayColor(), QColor(255, 255, 0));
    auto* history = form->findChild<kyvqt::KyvMovingBarWidget*>(QStringLiteral("history"));
    QVERIFY(history);
    QCOMPARE(history->MaxLimit(), 200);
    QVERIFY(!history->showgrid());
    auto* pulse = form->findChild<kyvqt::HeartBeatWidget*>(QStringLiteral("pulse"));
    QVERIFY(pulse);
    QCOMPARE(pulse->HorizCount(), 40);
    QVERIFY(!pulse->GridVisible());
    QCOMPARE(pulse->LineColor(), QColor(0, 0, 255));
    auto* channels = form->findChild<kyvqt::KyvMultiBarWidget*>(QStringLiteral("channels"));
    QVERIFY(channels);
    QCOMPARE(channels->Columns(), 4);
    QCOMPARE(channels->BarColor(), QColor(0, 128, 0));

    // The form is live: a reading through a slot reaches the control.
    QVERIFY(bar->incbar(150));
    QVERIFY(counter->send(42));
  }
};

QTEST_MAIN(TestDesigner)
#include "tst_designer.moc"
