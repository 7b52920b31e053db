#include "platform/TextEngine.h"

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QString>

#include <memory>
#include <string>
#include <unordered_map>

namespace quarvel {
namespace {

constexpr std::size_t kMaxCachedTexts = 2048;

struct FontEntry {
  QFont font;
  std::unique_ptr<QFontMetrics> metrics;
};

std::string FontKey(const FontFace& f) {
  std::string key = f.name;
  key += '\x1f';
  key += std::to_string(f.pixelSize);
  key += static_cast<char>('0' + (f.bold ? 1 : 0) + (f.italic ? 2 : 0) + (f.underline ? 4 : 0) +
                           (f.strikeOut ? 8 : 0));
  return key;
}

class Engine {
 public:
  FontEntry& FontFor(const FontFace& face) {
    const std::string key = FontKey(face);
    auto it = fonts_.find(key);
    if (it != fonts_.end()) return it->second;
    static const bool substituted = [] {
      // The classic dialog font of the window layout: same pixel height, sans.
      QFont::insertSubstitution("MS Sans Serif", "Liberation Sans");
      return true;
    }();
    (void)substituted;
    FontEntry entry;
    entry.font = QFont(QString::fromStdString(face.name));
    entry.font.setPixelSize(face.pixelSize > 0 ? face.pixelSize : 1);
    entry.font.setBold(face.bold);
    entry.font.setItalic(face.italic);
    entry.font.setUnderline(face.underline);
    entry.font.setStrikeOut(face.strikeOut);
    entry.font.setStyleStrategy(QFont::NoAntialias);
    // Named, not left to the toolkit: it turns hinting off on a scaled screen and
    // follows the desktop's font settings otherwise, and either would change glyph
    // pixels. Light (vertical) hinting is what it picks at ratio 1 here.
    entry.font.setHintingPreference(QFont::PreferVerticalHinting);
    entry.metrics = std::make_unique<QFontMetrics>(entry.font);
    return fonts_.emplace(key, std::move(entry)).first->second;
  }

  const TextMask& Render(const FontFace& face, std::string_view text) {
    auto it = texts_.find(TextKey(face, text));
    if (it != texts_.end()) return it->second;
    std::string key = scratch_;
    if (texts_.size() >= kMaxCachedTexts) texts_.clear();

    FontEntry& f = FontFor(face);
    const QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    TextMask mask;
    mask.advance = f.metrics->horizontalAdvance(s);
    mask.ascent = f.metrics->ascent();
    mask.height = f.metrics->height();
    // Room for glyphs that overhang their cell (italics, some first and last glyphs).
    mask.originX = mask.height;
    mask.maskWidth = mask.advance + 2 * mask.height;
    if (mask.height > 0 && mask.maskWidth > 0 && !s.isEmpty()) {
      QImage image(mask.maskWidth, mask.height, QImage::Format_RGB32);
      image.fill(0);
      {
        QPainter painter(&image);
        painter.setFont(f.font);
        painter.setPen(QColor(255, 255, 255));
        painter.drawText(mask.originX, mask.ascent, s);
      }
      mask.coverage.resize(static_cast<std::size_t>(mask.maskWidth) * mask.height);
      mask.rowFirst.assign(mask.height, 0);
      mask.rowEnd.assign(mask.height, 0);
      for (int y = 0; y < mask.height; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(image.constScanLine(y));
        for (int x = 0; x < mask.maskWidth; ++x) {
          const bool set = (row[x] & 0xFF) >= 128;
          mask.coverage[static_cast<std::size_t>(y) * mask.maskWidth + x] = set ? 1 : 0;
          if (!set) continue;
          if (mask.rowEnd[y] == 0) mask.rowFirst[y] = x;
          mask.rowEnd[y] = x + 1;
        }
      }
    }
    return texts_.emplace(std::move(key), std::move(mask)).first->second;
  }

  // The cell size, from the rendered text when it is kept, else measured once and
  // remembered: the chart measures the same few texts on every paint, and shaping
  // them each time would cost more than drawing them.
  TSize Measure(const FontFace& face, std::string_view text) {
    const std::string& key = TextKey(face, text);
    auto rendered = texts_.find(key);
    if (rendered != texts_.end()) return {rendered->second.advance, rendered->second.height};
    auto it = extents_.find(key);
    if (it != extents_.end()) return it->second;
    if (extents_.size() >= kMaxCachedTexts) extents_.clear();
    FontEntry& f = FontFor(face);
    const QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    const TSize size{f.metrics->horizontalAdvance(s), f.metrics->height()};
    extents_.emplace(key, size);
    return size;
  }

 private:
  // The cache key of a text in a font, built in a buffer kept between calls (a
  // lookup then allocates nothing); valid until the next call.
  const std::string& TextKey(const FontFace& face, std::string_view text) {
    if (!(face == keyFace_) || fontKey_.empty()) {
      keyFace_ = face;
      fontKey_ = FontKey(face);
    }
    scratch_.assign(fontKey_);
    scratch_ += '\x1e';
    scratch_.append(text);
    return scratch_;
  }

  FontFace keyFace_;
  std::string fontKey_;
  std::string scratch_;
  std::unordered_map<std::string, FontEntry> fonts_;
  std::unordered_map<std::string, TextMask> texts_;
  std::unordered_map<std::string, TSize> extents_;
};

// The caches hold toolkit font objects, which must not outlive the application
// object: they are dropped when it goes, and a later application starts afresh.
Engine& TheEngine() {
  static std::unique_ptr<Engine> engine;
  static QCoreApplication* owner = nullptr;
  QCoreApplication* app = QCoreApplication::instance();
  if (!engine || owner != app) {
    engine = std::make_unique<Engine>();
    owner = app;
    QObject::connect(app, &QObject::destroyed, [] {
      engine.reset();
      owner = nullptr;
    });
  }
  return *engine;
}

}  // namespace

bool TextEngineAvailable() {
  return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
}

TSize MeasureText(const FontFace& font, std::string_view text) {
  if (!TextEngineAvailable()) return {};
  return TheEngine().Measure(font, text);
}

FontCell FontCellOf(const FontFace& font) {
  if (!TextEngineAvailable()) return {};
  FontEntry& f = TheEngine().FontFor(font);
  return {f.metrics->ascent(), f.metrics->descent(), f.metrics->height()};
}

const TextMask& RenderText(const FontFace& font, std::string_view text) {
  static const TextMask kEmpty;
  if (!TextEngineAvailable()) return kEmpty;
  return TheEngine().Render(font, text);
}

}  // namespace quarvel
