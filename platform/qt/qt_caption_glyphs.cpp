#include "platform/qt/qt_caption_glyphs.h"

#include <QPainter>
#include <QRect>
#include <QTextLayout>

#include <utility>

namespace qt {

// ---- CaptionLine --------------------------------------------------------------------

CaptionLine::CaptionLine(const QString& text, const QFont& font, QPaintDevice* device) {
    QTextLayout layout(text, font, device);
    const QTextLine line = layOut(layout);
    width_ = line.horizontalAdvance();
    height_ = line.ascent() + line.descent();
    runs_ = layout.glyphRuns();
}

CaptionLine::CaptionLine(QGlyphRun run, qreal width, qreal height)
    : width_(width), height_(height), runs_{std::move(run)} {}

QTextLine CaptionLine::layOut(QTextLayout& layout) {
    QTextOption option;
    option.setTextDirection(Qt::LeftToRight);
    option.setWrapMode(QTextOption::NoWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    line.setLineWidth(0x01000000);
    line.setPosition(QPointF(0, 0));
    layout.endLayout();
    return line;
}

QPointF CaptionLine::origin(const QRect& r, ui::Alignment alignment) const {
    const qreal top = r.y() + (r.height() - height_) / 2;
    switch (alignment) {
    case ui::Alignment::Left: break;
    case ui::Alignment::Right: return {r.x() + r.width() - width_, top};
    case ui::Alignment::Center: return {r.x() + (r.width() - width_) / 2, top};
    }
    return {qreal(r.x()), top};
}

std::optional<QRectF> CaptionLine::difference(const CaptionLine& a, const CaptionLine& b) {
    if (a.width_ != b.width_ || a.runs_.size() != b.runs_.size()) return std::nullopt;
    QRectF changed;
    for (qsizetype r = 0; r < a.runs_.size(); ++r) {
        if (a.runs_[r].rawFont() != b.runs_[r].rawFont()) return std::nullopt;
        const QList<quint32> ga = a.runs_[r].glyphIndexes();
        const QList<quint32> gb = b.runs_[r].glyphIndexes();
        const QList<QPointF> pa = a.runs_[r].positions();
        const QList<QPointF> pb = b.runs_[r].positions();
        if (ga.size() != gb.size()) return std::nullopt;
        for (qsizetype i = 0; i < ga.size(); ++i) {
            if (ga[i] == gb[i] && pa[i] == pb[i]) continue;
            changed |= a.glyphArea(a.runs_[r], i) | b.glyphArea(b.runs_[r], i);
        }
    }
    return changed;
}

void CaptionLine::draw(QPainter& p, const QPointF& origin) const {
    for (const QGlyphRun& run : runs_) p.drawGlyphRun(origin, run);
}

QByteArray CaptionLine::glyphsAcross(const QPointF& origin, const QRectF& area) const {
    QByteArray found;
    for (const QGlyphRun& run : runs_) {
        const QList<quint32> glyphs = run.glyphIndexes();
        const QList<QPointF> positions = run.positions();
        for (qsizetype i = 0; i < glyphs.size(); ++i) {
            const QRectF reach = glyphArea(run, i).translated(origin);
            if (reach.right() < area.left() || reach.left() > area.right()) continue;
            const QPointF at = origin + positions[i];
            found.append(reinterpret_cast<const char*>(&glyphs[i]), sizeof(quint32));
            found.append(reinterpret_cast<const char*>(&at), sizeof(QPointF));
        }
    }
    return found;
}

QRectF CaptionLine::glyphArea(const QGlyphRun& run, qsizetype i) const {
    const QList<QPointF> positions = run.positions();
    const QPointF at = positions[i];
    const qreal end = i + 1 < positions.size() ? positions[i + 1].x() : width_;
    return QRectF(at.x(), at.y(), end - at.x(), 0) | run.rawFont().boundingRect(run.glyphIndexes()[i]).translated(at);
}

// ---- GlyphTable ---------------------------------------------------------------------

std::unique_ptr<CaptionLine> GlyphTable::line(const QString& text) {
    if (text.isEmpty()) return nullptr;
    QList<quint32> indexes;
    QList<QPointF> positions;
    indexes.reserve(text.size());
    positions.reserve(text.size());
    qreal x = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const Glyph* g = glyph(text[i]);
        if (!g || (i > 0 && !plainPair(text[i - 1], text[i]))) return nullptr;
        indexes.append(g->index);
        positions.append(QPointF(x, baseline_));
        x += g->advance;
    }
    QGlyphRun run;
    run.setRawFont(raw_);
    run.setGlyphIndexes(indexes);
    run.setPositions(positions);
    return std::make_unique<CaptionLine>(std::move(run), x, height_);
}

std::optional<QGlyphRun> GlyphTable::shaped(const QString& text, qreal* width) {
    QTextLayout layout(text, font_, device_);
    const QTextLine line = CaptionLine::layOut(layout);
    const QList<QGlyphRun> runs = layout.glyphRuns();
    if (runs.size() != 1 || runs[0].glyphIndexes().size() != text.size()) return std::nullopt;
    if (!raw_.isValid()) {
        raw_ = runs[0].rawFont();
        baseline_ = runs[0].positions()[0].y();
        height_ = line.ascent() + line.descent();
    }
    if (runs[0].rawFont() != raw_ || line.ascent() + line.descent() != height_) return std::nullopt;
    *width = line.horizontalAdvance();
    return runs[0];
}

const GlyphTable::Glyph* GlyphTable::glyph(QChar c) {
    // Latin letters, digits and punctuation only: marks, other scripts and
    // surrogates are left to shaping.
    if (c.unicode() < 0x20 || c.unicode() >= 0x300) return nullptr;
    auto it = glyphs_.find(c.unicode());
    if (it == glyphs_.end()) {
        std::optional<Glyph> g;
        qreal width = 0;
        if (const auto run = shaped(QString(c), &width); run && run->positions()[0] == QPointF(0, baseline_))
            g = Glyph{run->glyphIndexes()[0], width};
        it = glyphs_.insert(c.unicode(), g);
    }
    return it->has_value() ? &**it : nullptr;
}

bool GlyphTable::plainPair(QChar a, QChar b) {
    const quint32 key = (quint32(a.unicode()) << 16) | b.unicode();
    auto it = pairs_.find(key);
    if (it == pairs_.end()) {
        const Glyph* ga = glyph(a);
        const Glyph* gb = glyph(b);
        qreal width = 0;
        const auto run = shaped(QString(a) + b, &width);
        const bool plain = ga && gb && run && run->glyphIndexes() == QList<quint32>{ga->index, gb->index} &&
                           run->positions() == QList<QPointF>{{0, baseline_}, {ga->advance, baseline_}} &&
                           width == ga->advance + gb->advance;
        it = pairs_.insert(key, plain);
    }
    return *it;
}

}  // namespace qt
