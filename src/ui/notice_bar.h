// A notice across the top of the main window, over the views: its words, a
// link to the help page that explains them, "Don't Show Again" and Close. The
// music and the views go on under it; it takes no keyboard focus by itself.
#pragma once

#include <QFrame>
#include <functional>

class QLabel;

namespace tuttiro {

class NoticeBar : public QFrame {
  Q_OBJECT

 public:
  struct Answers {
    std::function<void()> help;        // the link
    std::function<void()> neverAgain;  // "Don't Show Again"
    std::function<void()> close;       // Close
  };
  NoticeBar(Answers answers, QWidget* parent = nullptr);

  // Shows `text` with its help link; an empty text hides the bar.
  void Show(const QString& text);
  QString Text() const;

 private:
  Answers answers_;
  QLabel* text_;
};

}  // namespace tuttiro
