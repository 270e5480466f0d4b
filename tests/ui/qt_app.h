#pragma once

#include <QApplication>
#include <QMouseEvent>
#include <QPointF>
#include <QWidget>

/// Helpers for tests that need a Qt application (offscreen platform).
namespace qt_test {

/// The one application object of the test binary, made on first use.
inline QApplication& App() {
  static int argc = 1;
  static char name[] = "vaultline_test";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

/// Declared as the first member of a fixture, makes the application before
/// the fixture's widgets.
struct UsesApp {
  UsesApp() { App(); }
};

/// Sends a mouse event straight to `widget` (through its event filters).
inline bool SendMouse(QWidget* widget, QEvent::Type type, QPointF at,
                      Qt::MouseButton button = Qt::NoButton, Qt::MouseButtons buttons = {},
                      Qt::KeyboardModifiers modifiers = {}) {
  QMouseEvent event(type, at, widget->mapToGlobal(at), button, buttons, modifiers);
  return QCoreApplication::sendEvent(widget, &event);
}

/// A widget that counts the mouse presses that reach it.
struct PressCounter : QWidget {
  int presses = 0;
  void mousePressEvent(QMouseEvent* event) override {
    ++presses;
    event->accept();
  }
};

inline bool SendLeave(QWidget* widget) {
  QEvent event(QEvent::Leave);
  return QCoreApplication::sendEvent(widget, &event);
}

}  // namespace qt_test
