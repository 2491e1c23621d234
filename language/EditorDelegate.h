#pragma once
// Draws one text of the editor's lists: the original text with ":=" on the
// first line, the translation below it, the kind as background colour, a
// marker for texts still untranslated or holding format conversions, and
// a symbol for the class of the component that shows the text.
#include <QStyledItemDelegate>

class EditorDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void SetItemHeight(int height) { itemHeight_ = height; }
  int ItemHeight() const { return itemHeight_; }

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

 private:
  int itemHeight_ = 28;
};
