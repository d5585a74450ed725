// The help window.
#include "ui/help_window.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>
#include <filesystem>

#include "app/help.h"

namespace tuttiro {

HelpWindow::HelpWindow(std::string folder, QWidget* parent)
    : QWidget(parent, Qt::Window),
      folder_(std::move(folder)),
      browser_(new QTextBrowser(this)),
      query_(new QLineEdit(this)) {
  setWindowTitle(QStringLiteral("Tuttiro Help"));
  // Closing the main window ends the program even while help stays open.
  setAttribute(Qt::WA_QuitOnClose, false);
  resize(760, 640);
  browser_->setOpenExternalLinks(false);
  query_->setPlaceholderText(QStringLiteral("Words to look for"));

  auto* contents = new QPushButton(QStringLiteral("&Contents"), this);
  auto* back = new QPushButton(QStringLiteral("&Back"), this);
  auto* forward = new QPushButton(QStringLiteral("&Forward"), this);
  auto* search = new QPushButton(QStringLiteral("&Search"), this);
  auto* close = new QPushButton(QStringLiteral("C&lose"), this);
  connect(close, &QPushButton::clicked, this, &QWidget::close);
  for (const QKeySequence& keys :
       {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)}) {
    auto* shortcut = new QShortcut(keys, this);
    connect(shortcut, &QShortcut::activated, this, &QWidget::close);
  }
  back->setEnabled(false);
  forward->setEnabled(false);
  connect(contents, &QPushButton::clicked, this, [this] {
    ShowPage(QString::fromStdString((std::filesystem::path(folder_) / kHelpContentsPage).string()),
             false);
  });
  connect(back, &QPushButton::clicked, browser_, &QTextBrowser::backward);
  connect(forward, &QPushButton::clicked, browser_, &QTextBrowser::forward);
  connect(browser_, &QTextBrowser::backwardAvailable, back, &QPushButton::setEnabled);
  connect(browser_, &QTextBrowser::forwardAvailable, forward, &QPushButton::setEnabled);
  connect(search, &QPushButton::clicked, this, [this] { Search(query_->text()); });
  connect(query_, &QLineEdit::returnPressed, this, [this] { Search(query_->text()); });

  auto* bar = new QHBoxLayout;
  bar->addWidget(contents);
  bar->addWidget(back);
  bar->addWidget(forward);
  bar->addStretch();
  bar->addWidget(query_, 1);
  bar->addWidget(search);
  bar->addWidget(close);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(bar);
  layout->addWidget(browser_, 1);
}

void HelpWindow::ShowPage(const QString& path, bool search) {
  browser_->setSource(QUrl::fromLocalFile(path));
  show();
  raise();
  activateWindow();
  if (search) {
    query_->setFocus();
    query_->selectAll();
  }
}

void HelpWindow::Search(const QString& query) {
  const std::vector<HelpHit> hits = SearchHelp(folder_, query.toStdString());
  QString html = QStringLiteral("<h2>Pages about \"%1\"</h2>").arg(query.toHtmlEscaped());
  if (hits.empty()) {
    html += QStringLiteral(
        "<p>No help page mentions all of these words. Try fewer words, "
        "or the name of a menu command.</p>");
  } else {
    html += QStringLiteral("<ul>");
    for (const HelpHit& hit : hits) {
      const QUrl url = QUrl::fromLocalFile(
          QString::fromStdString((std::filesystem::path(folder_) / hit.page).string()));
      html += QStringLiteral("<li><a href=\"%1\">%2</a></li>")
                  .arg(url.toString(), QString::fromStdString(hit.title).toHtmlEscaped());
    }
    html += QStringLiteral("</ul>");
  }
  browser_->setHtml(html);
  show();
  raise();
}

QString HelpWindow::ShownText() const {
  return browser_->toPlainText();
}

}  // namespace tuttiro
