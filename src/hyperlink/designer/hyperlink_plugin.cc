#include "hyperlink_plugin.h"

#include "hyperlink/hyperlink.h"

QWidget* HyperlinkPlugin::createWidget(QWidget* parent) {
  auto* link = new hyperlink::Hyperlink(parent);
  link->SetCaption(QStringLiteral("Hyperlink"));
  return link;
}

QString HyperlinkPlugin::domXml() const {
  return QStringLiteral(
      "<ui language=\"c++\">\n"
      " <widget class=\"hyperlink::Hyperlink\" name=\"hyperlink\">\n"
      "  <property name=\"geometry\">\n"
      "   <rect><x>0</x><y>0</y><width>120</width><height>20</height></rect>\n"
      "  </property>\n"
      " </widget>\n"
      "</ui>\n");
}
