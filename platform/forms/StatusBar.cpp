#include "platform/forms/StatusBar.h"

#include <QLabel>

namespace forms {

StatusBar::StatusBar(QWidget* parent) : QStatusBar(parent), text_(new QLabel(this)) {
    text_->setTextFormat(Qt::PlainText);
    setSizeGripEnabled(false);
    addWidget(text_, 1);
}

std::string StatusBar::SimpleText() const {
    return text_->text().toStdString();
}

void StatusBar::SetSimpleText(const std::string& text) {
    text_->setText(QString::fromStdString(text));
}

}  // namespace forms
