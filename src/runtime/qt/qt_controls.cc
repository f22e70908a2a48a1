#include "runtime/qt/qt_controls.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QWindow>
#include <iterator>

#include "runtime/qt/qt_text.h"

namespace mvsearch {

void ClickLabel::mousePressEvent(QMouseEvent* event) {
  left_pressed_ = event->button() == Qt::LeftButton;
  event->accept();
}

void ClickLabel::mouseReleaseEvent(QMouseEvent* event) {
  // A click is a press and a release of the left button, both on the label.
  const bool click = left_pressed_ && event->button() == Qt::LeftButton &&
                     rect().contains(event->position().toPoint());
  if (event->button() == Qt::LeftButton) left_pressed_ = false;
  event->accept();
  if (click && on_left_click) on_left_click();
}

int ListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant ListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= static_cast<int>(rows_.size())) return {};
  const std::size_t column = static_cast<std::size_t>(index.column());
  if (column >= columns_.size()) return {};
  switch (role) {
    case Qt::DisplayRole:
      return column == 0 ? QVariant(rows_[static_cast<std::size_t>(index.row())]) : QVariant();
    case Qt::TextAlignmentRole:
      return QVariant::fromValue(columns_[column].alignment | Qt::AlignVCenter);
    default:
      return {};
  }
}

QVariant ListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 ||
      section >= static_cast<int>(columns_.size())) {
    return {};
  }
  const Column& column = columns_[static_cast<std::size_t>(section)];
  switch (role) {
    case Qt::DisplayRole:
      return column.title;
    case Qt::TextAlignmentRole:
      return QVariant::fromValue(column.alignment | Qt::AlignVCenter);
    default:
      return {};
  }
}

Qt::ItemFlags ListModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

int ListModel::insert(int position, std::string_view gbk_title) {
  const int count = committed() + pending_count_;
  if (position < 0 || position >= count) {
    if (pending_count_ == 0) {
      QMetaObject::invokeMethod(
          this, [this] { flush(); }, Qt::QueuedConnection);
    }
    pending_.append(gbk_title);
    pending_.push_back('\0');
    ++pending_count_;
    return count;
  }
  flush();
  beginInsertRows(QModelIndex(), position, position);
  rows_.insert(rows_.begin() + position, gbk_to_qstring(gbk_title));
  endInsertRows();
  return position;
}

void ListModel::flush() {
  if (pending_count_ == 0) return;
  std::vector<QString> titles;
  titles.reserve(static_cast<std::size_t>(pending_count_));
  append_gbk_texts(pending_, titles);
  titles.resize(static_cast<std::size_t>(pending_count_));  // rows stay aligned whatever happens
  pending_.clear();
  pending_count_ = 0;
  const int first = committed();
  beginInsertRows(QModelIndex(), first, first + static_cast<int>(titles.size()) - 1);
  rows_.insert(rows_.end(), std::make_move_iterator(titles.begin()),
               std::make_move_iterator(titles.end()));
  endInsertRows();
}

void ListModel::remove_all() {
  pending_.clear();
  pending_count_ = 0;
  beginResetModel();
  rows_.clear();
  endResetModel();
}

void ListView::mousePressEvent(QMouseEvent* event) {
  QTableView::mousePressEvent(event);
  if (event->button() == Qt::RightButton) {
    right_pressed_ = viewport()->rect().contains(event->position().toPoint());
  }
}

void ListView::mouseReleaseEvent(QMouseEvent* event) {
  QTableView::mouseReleaseEvent(event);
  if (event->button() != Qt::RightButton) return;
  const bool click = right_pressed_;
  right_pressed_ = false;
  if (click && on_right_click) on_right_click();
}

FixedFrameWindow::FixedFrameWindow(QSize outer_size, bool centred, QPoint position)
    : QWidget(nullptr), outer_size_(outer_size), centred_(centred), position_(position) {}

void FixedFrameWindow::fit_frame() {
  const QWindow* handle = windowHandle();
  const QMargins margins = handle != nullptr ? handle->frameMargins() : QMargins();
  if (margins == fitted_margins_) return;
  fitted_margins_ = margins;
  setFixedSize(outer_size_.width() - margins.left() - margins.right(),
               outer_size_.height() - margins.top() - margins.bottom());
  QPoint frame_position = position_;
  if (centred_) {
    const QScreen* screen =
        this->screen() != nullptr ? this->screen() : QGuiApplication::primaryScreen();
    if (screen != nullptr) {
      const QRect area = screen->availableGeometry();
      frame_position = QPoint(area.x() + (area.width() - outer_size_.width()) / 2,
                              area.y() + (area.height() - outer_size_.height()) / 2);
    }
  }
  // move() places the frame of a top-level widget, not its client area.
  move(frame_position);
}

void FixedFrameWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  fit_frame();
}

void FixedFrameWindow::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  // A window manager reports its frame only once it has framed the window.
  fit_frame();
}

}  // namespace mvsearch
