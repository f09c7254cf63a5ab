// A line of underlined text that opens its target when clicked, and is drawn in the visited
// colour once it has.
#pragma once

#include <QLabel>
#include <QUrl>
#include <functional>

namespace quillon {

class LinkLabel final : public QLabel {
  Q_OBJECT

 public:
  LinkLabel(const QString& text, const QUrl& target, QWidget* parent = nullptr);

  const QUrl& Target() const { return target_; }
  bool Visited() const { return visited_; }
  void MarkVisited();
  // Clicks ask `open` for the target: drawn as visited once it opened, a beep when it did not.
  void OpenWith(std::function<bool(const QUrl&)> open);

 signals:
  void linkRequested(const QUrl& target);

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void ApplyColour();

  QUrl target_;
  bool visited_ = false;
};

}  // namespace quillon
