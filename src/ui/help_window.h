// The help window: the help pages in a browser, with the contents, back and
// forward, a search over every page, and Close (also Escape and Ctrl+W).
#pragma once

#include <QWidget>
#include <string>

class QLineEdit;
class QTextBrowser;

namespace tuttiro {

class HelpWindow : public QWidget {
  Q_OBJECT

 public:
  explicit HelpWindow(std::string folder, QWidget* parent = nullptr);

  // Shows the page at `path`; with `search` the search field takes the keyboard.
  void ShowPage(const QString& path, bool search);
  // Lists the pages holding every word of `query`.
  void Search(const QString& query);
  QString ShownText() const;

 private:
  std::string folder_;
  QTextBrowser* browser_;
  QLineEdit* query_;
};

}  // namespace tuttiro
