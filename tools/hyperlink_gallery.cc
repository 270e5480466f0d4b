// Shows the link control in its states and saves the window as a picture:
//   QT_QPA_PLATFORM=offscreen hyperlink_gallery gallery.png
#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>

#include <cstdio>

#include "hyperlink/hyperlink.h"

namespace {

using hyperlink::Hyperlink;

/// A small folder picture on the magenta mask colour.
QPixmap FolderIcon(QColor body) {
  QPixmap pixmap(20, 16);
  pixmap.fill(QColor(255, 0, 255));
  QPainter painter(&pixmap);
  painter.setPen(body.darker(160));
  painter.setBrush(body);
  painter.drawRect(1, 4, 17, 10);
  painter.drawRect(1, 2, 7, 3);
  return pixmap;
}

QFont Font(int pixels, bool underline = false) {
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(pixels);
  font.setUnderline(underline);
  return font;
}

Hyperlink* AddLink(QWidget* window, const QString& caption, QRect geometry) {
  auto* link = new Hyperlink(window);
  link->setGeometry(geometry);
  link->SetFontNormal(Font(13));
  link->SetFontHover(Font(13, true));
  link->SetForeColorNormal(0x00804000);  // dark blue
  link->SetForeColorHover(0x000000C0);   // dark red
  link->SetCaption(caption);
  return link;
}

void AddNote(QWidget* window, const QString& text, int y) {
  auto* note = new QLabel(text, window);
  note->setFont(Font(11));
  note->setGeometry(12, y, 150, 24);
}

void Hover(Hyperlink* link) {
  QMouseEvent move(QEvent::MouseMove, QPointF(3, 3), link->mapToGlobal(QPointF(3, 3)), Qt::NoButton,
                   {}, {});
  QCoreApplication::sendEvent(link, &move);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: hyperlink_gallery OUT.png\n");
    return 2;
  }
  QWidget window;
  window.setWindowTitle(QStringLiteral("Hyperlink gallery"));
  window.resize(520, 420);
  window.setFont(Font(13));

  int y = 12;
  AddNote(&window, QStringLiteral("normal"), y);
  AddLink(&window, QStringLiteral("Φάκελος αντιπροσώπων"), {170, y, 330, 24});
  y += 36;
  AddNote(&window, QStringLiteral("hovering, border"), y);
  Hyperlink* hovering = AddLink(&window, QStringLiteral("Φάκελος αντιπροσώπων"), {170, y, 330, 24});
  hovering->SetBorderStyleHover(Hyperlink::kBorderFixedSingle);
  hovering->SetBackColorHover(0x80000005);  // window colour
  Hover(hovering);
  y += 36;
  AddNote(&window, QStringLiteral("icon left"), y);
  AddLink(&window, QStringLiteral("Προσωπικός φάκελος"), {170, y, 330, 24})
      ->SetIcon(FolderIcon(QColor(240, 200, 80)));
  y += 36;
  AddNote(&window, QStringLiteral("icon right, offset -4"), y);
  Hyperlink* right = AddLink(&window, QStringLiteral("Προσωπικός φάκελος"), {170, y, 330, 24});
  right->SetAlignment(Hyperlink::kAlignRight);
  right->SetDrawOffset(-4);
  right->SetIcon(FolderIcon(QColor(240, 200, 80)));
  y += 36;
  AddNote(&window, QStringLiteral("icon centred, hover icon"), y);
  Hyperlink* centred = AddLink(&window, QStringLiteral("Βοήθεια"), {170, y, 330, 44});
  centred->SetAlignment(Hyperlink::kAlignCenter);
  centred->SetIcon(FolderIcon(QColor(240, 200, 80)));
  centred->SetIconHover(FolderIcon(QColor(90, 160, 240)));
  Hover(centred);
  y += 56;
  AddNote(&window, QStringLiteral("disabled"), y);
  AddLink(&window, QStringLiteral("Φάκελος αντιπροσώπων"), {170, y, 330, 24})->SetEnabled(false);
  y += 36;
  AddNote(&window, QStringLiteral("transparent on a panel"), y);
  auto* panel = new QLabel(&window);
  panel->setGeometry(170, y - 4, 330, 32);
  panel->setStyleSheet(QStringLiteral(
      "background: qlineargradient(x1:0, y1:0, x2:1, y2:0, stop:0 #d8e8ff, stop:1 #ffe0c0);"));
  Hyperlink* transparent = AddLink(panel, QStringLiteral("Διαφανές φόντο"), {8, 4, 300, 24});
  transparent->SetBackStyleNormal(Hyperlink::kTransparent);
  y += 40;
  AddNote(&window, QStringLiteral("word wrap"), y);
  Hyperlink* wrapped = AddLink(
      &window,
      QStringLiteral("Η σύνδεση με τον διακομιστή αρχείων χάθηκε. Πατήστε εδώ για νέα σύνδεση."),
      {170, y, 230, 56});
  wrapped->SetWordWrap(true);
  wrapped->SetBorderStyleNormal(Hyperlink::kBorderFixedSingle);
  y += 70;
  AddNote(&window, QStringLiteral("auto-size, opaque"), y);
  Hyperlink* sized = AddLink(&window, QStringLiteral("Αυτόματο μέγεθος"), {170, y, 10, 10});
  sized->SetBackColorNormal(0x80000018);  // tooltip background
  sized->SetIcon(FolderIcon(QColor(120, 200, 120)));
  sized->SetAutoSize(true);

  window.show();
  QCoreApplication::processEvents();
  if (!window.grab().save(QString::fromLocal8Bit(argv[1]))) {
    std::fprintf(stderr, "hyperlink_gallery: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
