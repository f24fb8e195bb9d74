// A status bar in simple-text mode: one line of text that stays until the program changes
// it (Qt's own temporary messages would be wiped by menu hints).
#pragma once

#include <QStatusBar>
#include <string>

class QLabel;

namespace forms {

class StatusBar : public QStatusBar {
  public:
    explicit StatusBar(QWidget* parent = nullptr);
    std::string SimpleText() const;
    void SetSimpleText(const std::string& text);

  private:
    QLabel* text_;
};

}  // namespace forms
