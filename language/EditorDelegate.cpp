#include "language/EditorDelegate.h"

#include <QPainter>
#include <array>
#include <string_view>

#include "language/FormatCheck.h"
#include "language/TextEntry.h"
#include "platform/Text1252.h"

namespace {

struct ClassSymbol {
  std::string_view cls;
  const char* letters;  // drawn in place of a picture
};

constexpr std::array<ClassSymbol, 14> kSymbols = {{
    {"TButton", "Bt"},
    {"TMenuItem", "Mn"},
    {"TLabel", "Lb"},
    {"TCheckBox", "Cb"},
    {"TRadioButton", "Rb"},
    {"TGroupBox", "Gb"},
    {"TRadioGroup", "Rg"},
    {"TPanel", "Pn"},
    {"TBitBtn", "Bb"},
    {"TSpeedButton", "Bb"},
    {"TStaticText", "St"},
    {"TTabSheet", "Ts"},
    {"TTabControl", "Tc"},
    {"TTabbedNotebook", "Nb"},
}};

QString ToQ(const std::string& text) { return QString::fromStdString(Cp1252ToUtf8(text)); }

const TextEntry* EntryAt(const QModelIndex& index) {
  return reinterpret_cast<const TextEntry*>(index.data(Qt::UserRole).value<quintptr>());
}

}  // namespace

QSize EditorDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
  return {option.rect.width(), itemHeight_};
}

void EditorDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                           const QModelIndex& index) const {
  const TextEntry* e = EntryAt(index);
  if (!e) return;
  const QRect r = option.rect;
  const bool selected = option.state & QStyle::State_Selected;
  const int h = option.fontMetrics.height();
  painter->save();

  QColor background = e->Kind == kKindFixed  ? QColor(192, 192, 192)
                      : e->Kind == kKindHint ? QColor(0, 255, 0)
                                             : QColor(Qt::white);
  if (selected) background = QColor(0, 0, 255);
  painter->fillRect(r, background);

  const int x = r.left() + 2 * h + 27;
  painter->setPen(selected ? option.palette.highlightedText().color() : QColor(Qt::black));
  painter->drawText(QRect(x, r.top(), r.right() - x, h + 2), Qt::AlignLeft | Qt::AlignTop,
                    ToQ(e->Original + ":="));
  painter->setPen(selected && e->Component ? QColor(255, 255, 0) : QColor(0, 0, 255));
  painter->drawText(QRect(x, r.top() + h + 2, r.right() - x, h + 2), Qt::AlignLeft | Qt::AlignTop,
                    ToQ(e->Translation));

  // "?" still untranslated, "?!" untranslated with conversions to keep,
  // "!" translated but holding conversions.
  QFont big = option.font;
  big.setPointSizeF(big.pointSizeF() > 0 ? big.pointSizeF() * 2 : 16);
  painter->setFont(big);
  painter->setPen(QColor(255, 0, 0));
  const bool conversions = HasConversion(e->Original);
  if (e->Translation == e->Original)
    painter->drawText(r.left() + (conversions ? 29 : 31), r.top() + h + 4,
                      conversions ? "?!" : "?");
  else if (conversions)
    painter->drawText(r.left() + 31, r.top() + 3 + h, "!");
  painter->setFont(option.font);

  painter->setPen(QColor(Qt::black));
  painter->drawLine(r.left(), r.bottom(), r.right(), r.bottom());

  if (e->Component) {
    for (const auto& s : kSymbols) {
      if (s.cls != e->ClassName) continue;
      const QRect box(1, r.top() + 1, 24, 25);
      painter->fillRect(box, QColor(255, 255, 225));
      painter->drawRect(box.adjusted(0, 0, -1, -1));
      painter->drawText(box, Qt::AlignCenter, s.letters);
      break;
    }
  }
  painter->restore();
}
