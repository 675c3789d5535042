#pragma once
// The Qt Designer plugin of the typed Kyv widgets: one custom widget per entry of
// kyvqt::widgetCatalog(), all in the widget box's "Kyv" group. Each shows an icon the
// control paints itself, is placed at its class's design size, and has every Q_PROPERTY
// of its widget in Designer's property editor (Designer reads them from the widget's
// meta-object). Forms refer to the widgets by their Qt class names (kyvqt::NAMEWidget) and
// headers (<kyv/qt/NAMEWidget.h>), so uic and QUiLoader both build them.
#include <QIcon>
#include <QSize>
#include <QtUiPlugin/QDesignerCustomWidgetCollectionInterface>
#include <QtUiPlugin/QDesignerCustomWidgetInterface>
#include <memory>
#include <vector>

#include "kyv/qt/WidgetCatalog.h"

namespace kyvqt {

// One typed widget as Designer offers it.
class DesignerWidget final : public QDesignerCustomWidgetInterface {
 public:
  explicit DesignerWidget(const WidgetEntry& entry);

  QString name() const override;
  QString group() const override;
  QString toolTip() const override;
  QString whatsThis() const override;
  QString includeFile() const override;
  // The control's picture at its design size, with a sample reading, scaled into a square.
  QIcon icon() const override;
  bool isContainer() const override { return false; }
  QWidget* createWidget(QWidget* parent) override;
  bool isInitialized() const override { return initialized_; }
  void initialize(QDesignerFormEditorInterface* core) override;
  // The widget at its design geometry, with an object name made from its class name.
  QString domXml() const override;

  // The size a new widget is placed at: its class's default extent in logical pixels.
  QSize designSize() const;

 private:
  // Makes the icon and the design size once, from one widget fed a sample reading.
  void sample() const;

  const WidgetEntry& entry_;
  bool initialized_ = false;
  mutable bool sampled_ = false;
  mutable QIcon icon_;
  mutable QSize designSize_;
};

// The collection Designer loads: every typed widget of the catalog.
class DesignerWidgets final : public QObject, public QDesignerCustomWidgetCollectionInterface {
  Q_OBJECT
  Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QDesignerCustomWidgetCollectionInterface")
  Q_INTERFACES(QDesignerCustomWidgetCollectionInterface)

 public:
  explicit DesignerWidgets(QObject* parent = nullptr);
  ~DesignerWidgets() override;

  QList<QDesignerCustomWidgetInterface*> customWidgets() const override;

 private:
  std::vector<std::unique_ptr<DesignerWidget>> widgets_;
};

}  // namespace kyvqt
