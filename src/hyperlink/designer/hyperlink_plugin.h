#pragma once

#include <QtUiPlugin/QDesignerCustomWidgetInterface>

/// Puts the link control into Qt Designer's widget box.
class HyperlinkPlugin : public QObject, public QDesignerCustomWidgetInterface {
  Q_OBJECT
  Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QDesignerCustomWidgetInterface")
  Q_INTERFACES(QDesignerCustomWidgetInterface)

 public:
  explicit HyperlinkPlugin(QObject* parent = nullptr) : QObject(parent) {}

  QString name() const override { return QStringLiteral("hyperlink::Hyperlink"); }
  QString group() const override { return QStringLiteral("Display Widgets"); }
  QString toolTip() const override { return QStringLiteral("Link label"); }
  QString whatsThis() const override {
    return QStringLiteral("A label that behaves like a link, with a hover appearance.");
  }
  QString includeFile() const override { return QStringLiteral("hyperlink/hyperlink.h"); }
  QIcon icon() const override { return {}; }
  bool isContainer() const override { return false; }
  QWidget* createWidget(QWidget* parent) override;
  bool isInitialized() const override { return initialized_; }
  void initialize(QDesignerFormEditorInterface* /*core*/) override { initialized_ = true; }
  QString domXml() const override;

 private:
  bool initialized_ = false;
};
