// The Qt widgets behind the described controls: a label that reports left clicks, a
// report-view list over a plain row model that reports right clicks, and a top-level
// window that keeps its outer size fixed whatever frame the window manager adds.
#pragma once

#include <QAbstractTableModel>
#include <QLabel>
#include <QMargins>
#include <QSize>
#include <QString>
#include <QTableView>
#include <QWidget>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace mvsearch {

class ClickLabel final : public QLabel {
 public:
  explicit ClickLabel(QWidget* parent) : QLabel(parent) {}
  std::function<void()> on_left_click;

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  bool left_pressed_ = false;
};

// Rows of a report view: one text per row, shown in the first column.
class ListModel final : public QAbstractTableModel {
 public:
  struct Column {
    QString title;
    Qt::Alignment alignment;
  };
  ListModel(std::vector<Column> columns, QObject* parent)
      : QAbstractTableModel(parent), columns_(std::move(columns)) {}

  [[nodiscard]] int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  [[nodiscard]] int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;
  [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation,
                                    int role) const override;
  [[nodiscard]] Qt::ItemFlags flags(const QModelIndex& index) const override;

  // Inserts the GBK title at position, or at the end when it is negative or past the end;
  // returns the row's index.
  //
  // Rows added at the end are gathered and handed to the views in one insertion, as soon
  // as control is back in the event loop or anything else touches the rows: the views
  // and the program see the same rows as with one insertion per call, but a page of
  // results costs one conversion and one layout instead of one per row.
  int insert(int position, std::string_view gbk_title);
  void remove_all();
  // Hands the gathered rows to the views now.
  void flush();

 private:
  [[nodiscard]] int committed() const { return static_cast<int>(rows_.size()); }

  std::vector<Column> columns_;
  std::vector<QString> rows_;
  // Titles waiting to be inserted after rows_, each followed by a NUL byte.
  std::string pending_;
  int pending_count_ = 0;
};

class ListView final : public QTableView {
 public:
  explicit ListView(QWidget* parent) : QTableView(parent) {}
  // Called after the view has handled a right click inside its rows area.
  std::function<void()> on_right_click;

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  bool right_pressed_ = false;
};

// A top-level window whose outer size, frame included, stays as described: the client
// size follows the frame margins, which a window manager may change after the window is
// first shown.
class FixedFrameWindow final : public QWidget {
 public:
  FixedFrameWindow(QSize outer_size, bool centred, QPoint position);
  // Sets the client size from the current frame margins and places the window.
  void fit_frame();

 protected:
  void showEvent(QShowEvent* event) override;
  void moveEvent(QMoveEvent* event) override;

 private:
  QSize outer_size_;
  bool centred_;
  QPoint position_;
  QMargins fitted_margins_{-1, -1, -1, -1};
};

}  // namespace mvsearch
