// The notice bar of the main window.
#include "ui/notice_bar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace tuttiro {

NoticeBar::NoticeBar(Answers answers, QWidget* parent)
    : QFrame(parent), answers_(std::move(answers)), text_(new QLabel(this)) {
  setFrameShape(QFrame::StyledPanel);
  setAutoFillBackground(true);
  QPalette shade = palette();
  shade.setColor(QPalette::Window, QColor(0xff, 0xf4, 0xc8));
  shade.setColor(QPalette::WindowText, Qt::black);
  setPalette(shade);
  text_->setWordWrap(true);
  text_->setTextFormat(Qt::RichText);
  text_->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
  connect(text_, &QLabel::linkActivated, this, [this] { answers_.help(); });
  auto* never = new QPushButton(QStringLiteral("&Don't Show Again"), this);
  auto* close = new QPushButton(QStringLiteral("Cl&ose Notice"), this);
  for (QPushButton* button : {never, close}) button->setFocusPolicy(Qt::TabFocus);
  connect(never, &QPushButton::clicked, this, [this] { answers_.neverAgain(); });
  connect(close, &QPushButton::clicked, this, [this] { answers_.close(); });
  auto* row = new QHBoxLayout(this);
  row->addWidget(text_, 1);
  row->addWidget(never);
  row->addWidget(close);
  hide();
}

void NoticeBar::Show(const QString& text) {
  if (text.isEmpty()) {
    text_->clear();
    hide();
    return;
  }
  text_->setText(text.toHtmlEscaped() +
                 QStringLiteral(" <a href=\"help\">How to connect a keyboard</a>"));
  show();
}

QString NoticeBar::Text() const {
  return isVisible() ? text_->text() : QString();
}

}  // namespace tuttiro
