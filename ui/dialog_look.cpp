#include "ui/dialog_look.h"

#include <QImage>
#include <cstdlib>

#include "report/dialog_events.h"

namespace lgoty::ui {

namespace {

constexpr uint32_t kSystemColorFlag = 0x80000000u;

// Indexes of the window system's colour table.
enum SystemColor {
  kScrollBar = 0, kBackground = 1, kActiveCaption = 2, kInactiveCaption = 3, kMenu = 4,
  kWindow = 5, kWindowFrame = 6, kMenuText = 7, kWindowText = 8, kCaptionText = 9,
  kHighlight = 13, kHighlightText = 14, kBtnFace = 15, kBtnShadow = 16, kGrayText = 17,
  kBtnText = 18, kBtnHighlight = 20, k3DDkShadow = 21, k3DLight = 22, kInfoText = 23,
  kInfoBk = 24
};

QColor SystemColor(int index, const QPalette& p) {
  switch (index) {
    case kWindow: return p.color(QPalette::Base);
    case kWindowText:
    case kMenuText:
    case kCaptionText: return p.color(QPalette::WindowText);
    case kHighlight:
    case kActiveCaption: return p.color(QPalette::Highlight);
    case kHighlightText: return p.color(QPalette::HighlightedText);
    case kBtnShadow: return p.color(QPalette::Dark);
    case k3DDkShadow:
    case kWindowFrame: return p.color(QPalette::Shadow);
    case kBtnHighlight: return p.color(QPalette::Light);
    case k3DLight: return p.color(QPalette::Midlight);
    case kGrayText: return p.color(QPalette::Disabled, QPalette::Text);
    case kBtnText: return p.color(QPalette::ButtonText);
    case kInfoText: return p.color(QPalette::ToolTipText);
    case kInfoBk: return p.color(QPalette::ToolTipBase);
    case kScrollBar:
    case kBackground:
    case kInactiveCaption:
    case kMenu:
    case kBtnFace:
    default: return p.color(QPalette::Window);
  }
}

}  // namespace

std::optional<QColor> QColorFromReport(report::TColor color, const QPalette& palette) {
  if (color == report::clTransparent) return std::nullopt;
  auto bits = static_cast<uint32_t>(color);
  if (bits & kSystemColorFlag) return SystemColor(static_cast<int>(bits & 0xFF), palette);
  return QColor(static_cast<int>(bits & 0xFF), static_cast<int>((bits >> 8) & 0xFF),
                static_cast<int>((bits >> 16) & 0xFF));
}

QFont QFontFromReport(const report::TfrxFont& font) {
  QString face = QString::fromStdString(font.name);
  if (face.compare(QLatin1String("Tahoma"), Qt::CaseInsensitive) == 0 ||
      face.compare(QLatin1String("MS Sans Serif"), Qt::CaseInsensitive) == 0 ||
      face.compare(QLatin1String("Microsoft Sans Serif"), Qt::CaseInsensitive) == 0) {
    face = QStringLiteral("Liberation Sans");
  }
  QFont out(face);
  // A positive height includes the internal leading, about a fifth of the cell.
  int pixels = font.height < 0 ? -font.height : (font.height * 4 + 2) / 5;
  out.setPixelSize(pixels > 0 ? pixels : 11);
  out.setBold(font.style & 1);
  out.setItalic(font.style & 2);
  out.setUnderline(font.style & 4);
  out.setStrikeOut(font.style & 8);
  return out;
}

QPixmap QPixmapFromReport(const report::TfrxPicture& picture) {
  const std::string& data = picture.data;
  QImage image;
  if (data.empty()) return {};
  auto bytes = [&](size_t from) {
    return QByteArray(data.data() + from, static_cast<qsizetype>(data.size() - from));
  };
  if (image.loadFromData(bytes(0))) return QPixmap::fromImage(image);
  // Old picture streams: a length byte, the graphic's class name, then its data (a bitmap
  // with its own 4-byte size in front).
  size_t name_length = static_cast<unsigned char>(data[0]);
  if (name_length == 0 || name_length + 1 > data.size()) return {};
  std::string name = data.substr(1, name_length);
  size_t start = 1 + name_length;
  if (name == "TBitmap" && start + 4 <= data.size()) start += 4;
  if (start < data.size() && image.loadFromData(bytes(start))) return QPixmap::fromImage(image);
  return {};
}

namespace {

struct KeyPair {
  int qt;
  int vk;
};
constexpr KeyPair kKeys[] = {
    {Qt::Key_Backspace, 8}, {Qt::Key_Tab, 9},        {Qt::Key_Backtab, 9},
    {Qt::Key_Return, 13},   {Qt::Key_Enter, 13},     {Qt::Key_Shift, 16},
    {Qt::Key_Control, 17},  {Qt::Key_Alt, 18},      {Qt::Key_Pause, 19},
    {Qt::Key_CapsLock, 20}, {Qt::Key_Escape, 27},    {Qt::Key_Space, 32},
    {Qt::Key_PageUp, 33},   {Qt::Key_PageDown, 34},  {Qt::Key_End, 35},
    {Qt::Key_Home, 36},     {Qt::Key_Left, 37},      {Qt::Key_Up, 38},
    {Qt::Key_Right, 39},    {Qt::Key_Down, 40},      {Qt::Key_Print, 44},
    {Qt::Key_Insert, 45},   {Qt::Key_Delete, 46},    {Qt::Key_Help, 47},
    {Qt::Key_Menu, 93},     {Qt::Key_NumLock, 144},  {Qt::Key_ScrollLock, 145},
    {Qt::Key_Semicolon, 186}, {Qt::Key_Equal, 187},  {Qt::Key_Comma, 188},
    {Qt::Key_Minus, 189},   {Qt::Key_Period, 190},   {Qt::Key_Slash, 191},
    {Qt::Key_QuoteLeft, 192}, {Qt::Key_BracketLeft, 219}, {Qt::Key_Backslash, 220},
    {Qt::Key_BracketRight, 221}, {Qt::Key_Apostrophe, 222},
};

}  // namespace

int VirtualKeyFromQt(int qt_key) {
  if ((qt_key >= Qt::Key_0 && qt_key <= Qt::Key_9) || (qt_key >= Qt::Key_A && qt_key <= Qt::Key_Z)) {
    return qt_key;  // the same codes
  }
  if (qt_key >= Qt::Key_F1 && qt_key <= Qt::Key_F24) return 112 + (qt_key - Qt::Key_F1);
  for (const KeyPair& k : kKeys) {
    if (k.qt == qt_key) return k.vk;
  }
  return 0;
}

int QtKeyFromVirtualKey(int virtual_key) {
  if ((virtual_key >= '0' && virtual_key <= '9') || (virtual_key >= 'A' && virtual_key <= 'Z')) {
    return virtual_key;
  }
  if (virtual_key >= 112 && virtual_key < 112 + 24) return Qt::Key_F1 + (virtual_key - 112);
  for (const KeyPair& k : kKeys) {
    if (k.vk == virtual_key) return k.qt;
  }
  return Qt::Key_unknown;
}

int ShiftFromQt(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons) {
  int shift = 0;
  if (modifiers & Qt::ShiftModifier) shift |= report::kShiftShift;
  if (modifiers & Qt::AltModifier) shift |= report::kShiftAlt;
  if (modifiers & Qt::ControlModifier) shift |= report::kShiftCtrl;
  if (buttons & Qt::LeftButton) shift |= report::kShiftLeft;
  if (buttons & Qt::RightButton) shift |= report::kShiftRight;
  if (buttons & Qt::MiddleButton) shift |= report::kShiftMiddle;
  return shift;
}

}  // namespace lgoty::ui
